#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// What a monitor says of itself in its EDID block.
struct EdidInfo {
    QString manufacturer;  // the three-letter PNP id, "DEL"
    quint16 productCode = 0;
    QString name;  // the monitor name descriptor, empty when it has none
};

// Reads the base block of an EDID (the first 128 bytes of the sysfs "edid" file). nullopt
// when it is shorter, lacks the fixed header or its checksum does not add up.
std::optional<EdidInfo> parseEdid(const QByteArray& bytes);

// The name a caller shows: the descriptor name, else the maker's id and the product code
// ("DEL 40a0").
QString edidDisplayName(const EdidInfo& info);

}  // namespace platform
