#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

struct ModemDevice {
    QString name;  // as the modem list shows it
    QString path;  // the device to open
};

// The serial lines that may carry a modem: each entry of `sysfsRoot` (normally
// /sys/class/tty) with a driver behind it, except the virtual consoles, the lines the
// kernel console writes to (console/active) and UARTs the driver found absent (type 0);
// then each of `configured` not already listed. Sysfs names are sorted, so the numbers
// stay put from one listing to the next.
QList<ModemDevice> listModems(const QString& sysfsRoot, const QString& devRoot, const QStringList& configured);

}  // namespace platform
