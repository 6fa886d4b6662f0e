#include "imaginglog.h"

Q_LOGGING_CATEGORY(lcImaging, "tindra.imaging")
