#pragma once

#include <QLoggingCategory>

// Diagnostics of the capture subsystem ("tindra.capture"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
