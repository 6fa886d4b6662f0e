#include "batchlog.h"

Q_LOGGING_CATEGORY(lcBatch, "tindra.batch")
