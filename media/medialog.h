#pragma once

#include <QLoggingCategory>

// Diagnostics of the media subsystem ("tindra.media"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcMedia)
