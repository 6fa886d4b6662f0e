#pragma once

#include <QLoggingCategory>

// Diagnostics of the desktop program ("tindra.gui"): the main window, its
// dialogs and widgets, and the player.
Q_DECLARE_LOGGING_CATEGORY(lcGui)
