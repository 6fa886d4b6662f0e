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
    case LogCritical: av_log_set_level(AV_LOG_ERROR); break;
    case LogFatal: av_log_set_level(AV_LOG_FATAL); break;
    }
}

}
