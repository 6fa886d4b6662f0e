#pragma once

#include <QLoggingCategory>

// Diagnostics of the batch subsystem ("tindra.batch"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcBatch)
