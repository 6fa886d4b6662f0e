#pragma once

#include <QLoggingCategory>

// Diagnostics of the analysis subsystem ("tindra.analysis"), one category for all its classes.
Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)
