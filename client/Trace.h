#pragma once

#include <QLoggingCategory>

namespace client {

// Diagnostics of the client; QT_LOGGING_RULES="ovex.client.debug=true" shows them all.
Q_DECLARE_LOGGING_CATEGORY(lcClient)

}  // namespace client
