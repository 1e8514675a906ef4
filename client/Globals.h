#pragma once

#include <QByteArray>
#include <QString>

// The client's process-wide values, set up before the application initialises.
namespace client {

inline const QString kProductName = QStringLiteral("Ovex Kelvo");
inline const QString kMakerName = QStringLiteral("Ovex");
inline const QString kVersionCode = QStringLiteral("0107");     // sent to the service as "vers"
inline const QString kDisplayVersion = QStringLiteral("1.07");  // in the user agent
inline const QString kInstanceId = QStringLiteral("Local\\{9a865c16-56e3-47b6-b37a-92a9874d3324}");

struct RunState {
    QString importPath;               // from "/import"; empty imports the data folder
    QByteArray languageCode = "ENU";  // at most three letters, sent as "lang"
    bool scheduledRun = false;        // "/auto"
    bool testRun = false;             // "/test"
};

RunState& runState();

}  // namespace client
