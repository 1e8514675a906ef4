#pragma once

#include <QString>
#include <QtGlobal>

namespace engine {

// One fact about the machine by item number, for the script's SYSTEMINFO line: screen size,
// processor type, printer and modem availability, operating system, disk size class and
// free space.
class QmSysInfo {
public:
    virtual ~QmSysInfo() = default;

    // The item's text; `argument` (the line's hexadecimal number) changes nothing.
    void GetItem(int item, quint32 argument, QString* text) const;

    // The item a SYSTEMINFO name selects, matched exactly; -1 for an unknown name. The
    // "????" entries make items 9 and 11 reachable only as 2, the first "????".
    static int ItemForName(const QString& name);
    // The size class of a drive of that many bytes. The classes meet without gaps.
    static QString DiskSizeClass(quint64 totalBytes);
    // Free space as "<kilobytes> KB".
    static QString FreeSpaceText(quint64 freeBytes);

private:
    const QString no_ = QStringLiteral("0");
    const QString yes_ = QStringLiteral("1");
};

}  // namespace engine
