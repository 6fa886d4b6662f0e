#pragma once

#include <QLoggingCategory>

// Diagnostics of the desktop interface ("tindra.gui"): the main window, its
// dialogs and widgets.
Q_DECLARE_LOGGING_CATEGORY(lcGui)
