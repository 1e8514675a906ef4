#pragma once

#include <QLoggingCategory>

// Diagnostics of the client; QT_LOGGING_RULES="ovex.client.debug=true" shows them all.
Q_DECLARE_LOGGING_CATEGORY(lcClient)
