#include "regengine/core/QmPrefFile.h"

namespace engine {

QmPrefFile::QmPrefFile(const QString& name, bool useEngineFolder)
{
    QString path = name;
    path.replace(u'\\', u'/');
    if (useEngineFolder) {
        const QString folder = EngineFolder();
        if (folder.isEmpty()) {
            writable_ = false;
            return;
        }
        path.prepend(folder);
    }
    SetFilePath(path);
    file_.setFileName(path);
    opened_ = file_.open(QIODevice::ReadWrite | QIODevice::Truncate);
}

QmPrefFile::~QmPrefFile()
{
    Close();
}

bool QmPrefFile::Write(const QByteArray& bytes)
{
    return file_.isOpen() && file_.write(bytes) == bytes.size();
}

void QmPrefFile::Close()
{
    file_.close();
}

}  // namespace engine
