#pragma once

#include "client/RecordMap.h"

#include <QList>
#include <QMap>
#include <QString>

class QIODevice;

namespace client {

// Reads a registration file (.tova): UTF-8 lines; sections from ">Begin<name>" to
// ">End<name>" (ignoring case) of "key:value" lines; "#" lines and empty lines ignored.
// Any error, a NUL byte included, makes the whole file unusable (ok false).
class TovaReader {
public:
    // Longest line, in bytes without its line ending. A longer one fails the file.
    static constexpr int kMaxLineBytes = 2047;

    // A file that cannot be opened reads as empty: ok, no sections.
    static TovaReader Read(const QString& path);
    static TovaReader Read(QIODevice& device);

    // The sections called `name` (lower case), in file order.
    QList<RecordMap> GetSection(const QString& name) const;

    bool ok = true;
    int lineCount = 0;
    QMap<QString, QList<RecordMap>> sections;  // by lower-case section name
    int state = 0;                             // 0 outside, 1 inside a section, 2 skipping after an error
    QString currentName;
    RecordMap currentMap;

private:
    void ReadLine(const QString& line);
    void Fail();
};

}  // namespace client
