#include "regengine/core/FileDisplayer.h"

#include <QByteArray>

namespace engine {

FileDisplayer::~FileDisplayer()
{
    file_.close();
}

bool FileDisplayer::Open(const QString& path)
{
    file_.close();
    file_.setFileName(path);
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void FileDisplayer::Append(QStringView text)
{
    if (!file_.isOpen() || text.isEmpty())
        return;
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    file_.write(bytes);
    file_.flush();
}

}  // namespace engine
