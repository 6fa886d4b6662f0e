#include "capturelog.h"

Q_LOGGING_CATEGORY(lcCapture, "tindra.capture")
