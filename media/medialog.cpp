#include "medialog.h"

Q_LOGGING_CATEGORY(lcMedia, "tindra.media")
