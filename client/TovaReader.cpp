#include "client/TovaReader.h"

#include "platform/text/Ascii.h"

#include <QFile>
#include <QIODevice>

namespace client {

TovaReader TovaReader::Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TovaReader();
    return Read(file);
}

// A line too long for the format fails the whole file: importing what came before it
// would store a record or message cut short without anyone noticing.
TovaReader TovaReader::Read(QIODevice& device)
{
    TovaReader reader;
    // Room for the longest line, its CR LF, and one byte more to see that a line is longer.
    constexpr qint64 kReadLimit = kMaxLineBytes + 3;
    bool first = true;
    while (reader.ok && !device.atEnd()) {
        QByteArray line = device.readLine(kReadLimit);
        const bool complete = line.endsWith('\n') || device.atEnd();
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!complete || line.size() > kMaxLineBytes) {
            reader.ok = false;
            reader.state = 2;
            break;
        }
        ++reader.lineCount;
        // Editors on other systems put a byte-order mark before the first line.
        if (first && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
        first = false;
        // A text file holds no NUL; a value cut at one would be stored as another text.
        if (line.contains('\0')) {
            reader.Fail();
            continue;
        }
        reader.ReadLine(QString::fromUtf8(line).trimmed());
    }
    // A section still open at the end (even one with an empty name) means the file was
    // cut short.
    if (reader.state == 1 || !reader.currentName.isEmpty()) {
        reader.sections[reader.currentName].append(reader.currentMap);
        reader.ok = false;
    }
    return reader;
}

QList<RecordMap> TovaReader::GetSection(const QString& name) const
{
    return sections.value(name);
}

void TovaReader::ReadLine(const QString& line)
{
    if (line.isEmpty() || line.startsWith(u'#'))
        return;
    switch (state) {
    case 0:
        if (platform::asciiLower(line.left(6)) == u">begin") {
            currentName = platform::asciiLower(line.mid(6));
            currentMap.clear();
            state = 1;
        } else
            Fail();
        break;
    case 1: {
        if (platform::asciiLower(line.left(4)) == u">end") {
            if (platform::asciiLower(line.mid(4)) == currentName) {
                sections[currentName].append(currentMap);
                currentName.clear();
                currentMap.clear();
                state = 0;
            } else
                Fail();
            break;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) {
            Fail();
            break;
        }
        // Record fields are the launcher's codes, whose case matters; elsewhere keys
        // are names and are folded.
        const QString key = line.left(colon);
        currentMap.insert(currentName == u"record" ? key : platform::asciiLower(key), line.mid(colon + 1));
        break;
    }
    default:
        if (platform::asciiLower(line.left(4)) == u">end")
            state = 0;
        break;
    }
}

void TovaReader::Fail()
{
    ok = false;
    state = 2;
}

}  // namespace client
