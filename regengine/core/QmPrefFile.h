#pragma once

#include "regengine/core/SmartFile.h"

#include <QByteArray>
#include <QFile>

namespace engine {

// A plain file to which the registration window writes chosen fields as text. Opening it
// empties it.
class QmPrefFile : public SmartFile {
public:
    // With `useEngineFolder` the path is the engine folder followed by `name` exactly, with no
    // separator added (a name meant to lie inside the folder begins with one); otherwise the
    // name is the path. The file is created or emptied and opened for reading and writing.
    explicit QmPrefFile(const QString& name, bool useEngineFolder = true);
    ~QmPrefFile() override;

    bool Write(const QByteArray& bytes);
    void Close();

private:
    QFile file_;
};

}  // namespace engine
