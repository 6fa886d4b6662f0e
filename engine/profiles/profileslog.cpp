#include "profileslog.h"

Q_LOGGING_CATEGORY(lcProfiles, "tindra.profiles")
