#pragma once

#include <QLoggingCategory>

// Diagnostics of the imaging subsystem ("tindra.imaging"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcImaging)
