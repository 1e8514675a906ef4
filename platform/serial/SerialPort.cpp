#include "platform/serial/SerialPort.h"

#include "platform/serial/TermiosSerialPort.h"

namespace platform {

SerialPort::~SerialPort() = default;

std::unique_ptr<SerialPort> SerialPort::create()
{
    return std::make_unique<TermiosSerialPort>();
}

}  // namespace platform
