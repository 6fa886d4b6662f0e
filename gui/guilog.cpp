#include "guilog.h"

Q_LOGGING_CATEGORY(lcGui, "tindra.gui")
