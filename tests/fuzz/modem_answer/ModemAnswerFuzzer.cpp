// Any bytes as a modem's answer to "AT+MS?". The reader may not crash or read past the
// bytes, and it only gives a rate the answer states or a modulation's known rate.
#include "platform/telephony/Telephony.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char*>(data), qsizetype(size));
    const quint32 rate = platform::modulationMaxRate(answer);
    if (rate != 0 && !answer.contains("+MS:"))
        std::abort();
    return 0;
}
