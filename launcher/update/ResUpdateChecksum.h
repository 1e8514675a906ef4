#pragma once

#include <QString>
#include <QtGlobal>

namespace launcher {

// The checksum the update server gives for a page script: from 0, for every byte of the
// text's UTF-16LE form, add the byte, then rotate the 32 bits left by one.
quint32 ResUpdateChecksum(const QString& text);

}  // namespace launcher
