#include "client/Trace.h"

namespace client {

Q_LOGGING_CATEGORY(lcClient, "ovex.client", QtWarningMsg)

}  // namespace client
