#include "loglevel.h"

extern "C" {
#include <libavutil/log.h>
}

namespace media {

void setLogLevel(LogLevel level)
{
    switch (level) {
    case LogOff: av_log_set_level(AV_LOG_QUIET); break;
    case LogDebug:
    case LogAll: av_log_set_level(AV_LOG_DEBUG); break;
    case LogWarning: av_log_set_level(AV_LOG_WARNING); break;
    // FFmpeg's errors are mostly damaged packets it gets over; what matters
    // reaches the user through our own messages.
    case LogCritical: av_log_set_level(AV_LOG_FATAL); break;
    case LogFatal: av_log_set_level(AV_LOG_PANIC); break;
    }
}

}
