#include "platform/serial/SerialPort.h"

#include "platform/serial/TermiosSerialPort.h"

#include <QRegularExpression>

namespace platform {

SerialPort::~SerialPort() = default;

QString serialDevicePath(const QString& name, const QString& devRoot)
{
    static const QRegularExpression dosName(QStringLiteral("^COM([1-9][0-9]{0,2}):?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = dosName.match(name);
    if (!match.hasMatch())
        return name;
    return devRoot + QStringLiteral("/ttyS") + QString::number(match.captured(1).toInt() - 1);
}

std::unique_ptr<SerialPort> SerialPort::create()
{
    return std::make_unique<TermiosSerialPort>();
}

}  // namespace platform
