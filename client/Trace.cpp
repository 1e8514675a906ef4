#include "client/Trace.h"

Q_LOGGING_CATEGORY(lcClient, "ovex.client", QtWarningMsg)
