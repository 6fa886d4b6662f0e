#pragma once

#include <QLoggingCategory>

// Diagnostics of the profiles subsystem ("tindra.profiles"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcProfiles)
