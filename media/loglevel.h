#pragma once

namespace media {

// How much FFmpeg itself writes to standard error. Our own diagnostics go
// through Qt's logging categories ("tindra.media.*") instead.
enum LogLevel { LogOff = 0, LogDebug = 1, LogWarning = 2, LogCritical = 3, LogFatal = 4, LogAll = 5 };

void setLogLevel(LogLevel level);

}
