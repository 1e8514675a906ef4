// Any bytes as an INI file, read through the file as the page script's keywords read one.
// A value found is one the text holds, without the blanks or the one pair of quotes around it.
#include "platform/inifile/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir* folder = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/ini-fuzz-XXXXXX"));
    const QString path = folder->path() + QStringLiteral("/input.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const std::optional<IniFile> ini = IniFile::load(path);
    if (!ini)
        std::abort();
    // The names the launcher's scripts ask for, and the first section and key of the text.
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QString section = QStringLiteral("Settings");
    QString key = QStringLiteral("Model");
    const qsizetype open = text.indexOf(u'[');
    const qsizetype close = text.indexOf(u']', open + 1);
    if (open >= 0 && close > open)
        section = text.mid(open + 1, close - open - 1).trimmed();
    const qsizetype equals = text.indexOf(u'=', close + 1);
    const qsizetype lineStart = text.lastIndexOf(u'\n', equals) + 1;
    if (equals > close && lineStart <= equals)
        key = text.mid(lineStart, equals - lineStart).trimmed();
    const QString value = ini->value(section, key, QStringLiteral("\x01missing"));
    if (value != QStringLiteral("\x01missing") && value.size() > text.size())
        std::abort();
    if (readProfileString(path, section, key, QStringLiteral("\x01missing")) != value)
        std::abort();
    return 0;
}
