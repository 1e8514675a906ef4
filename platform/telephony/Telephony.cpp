#include "platform/telephony/Telephony.h"

#include "platform/telephony/HayesTelephony.h"

#include <QList>

namespace platform {

Telephony::~Telephony() = default;

qint32 Telephony::queryLineRates(quint32 device, LineCaps*, QString* error)
{
    if (error != nullptr)
        *error = QStringLiteral("Line %1 cannot be asked for its rates").arg(device);
    return qint32(tel::kErrOperationFailed);
}

quint32 modulationMaxRate(const QByteArray& answer)
{
    const qsizetype start = answer.indexOf("+MS:");
    if (start < 0)
        return 0;
    qsizetype end = answer.indexOf('\r', start);
    if (const qsizetype lf = answer.indexOf('\n', start); lf >= 0 && (end < 0 || lf < end))
        end = lf;
    const QList<QByteArray> fields = answer.mid(start + 4, end < 0 ? -1 : end - start - 4).split(',');
    // <modulation>,<automode>,<min rx rate>,<max rx rate>,...
    if (fields.size() >= 4) {
        bool ok = false;
        const quint32 rate = fields[3].trimmed().toUInt(&ok);
        if (ok && rate > 0)
            return rate;
    }
    QByteArray name = fields[0].trimmed().toUpper();
    name.replace('.', QByteArray());
    static const struct {
        const char* name;
        quint32 rate;
    } kModulations[] = {{"V92", 56000}, {"V90", 56000}, {"K56", 56000},  {"K56FLEX", 56000}, {"X2", 56000},
                        {"V34", 33600}, {"VFC", 28800}, {"V32B", 14400}, {"V32", 9600},      {"V22B", 2400},
                        {"V22", 1200},  {"V23C", 1200}, {"B212", 1200},  {"V21", 300},       {"B103", 300}};
    for (const auto& m : kModulations) {
        if (name == m.name)
            return m.rate;
    }
    return 0;
}

bool dialableNumber(const QString& number, const QString& internationalPrefix, QString* dialable, QString* error)
{
    QString out;
    bool international = false;
    for (const QChar c : number) {
        if (c == u'+') {
            if (international) {
                if (error != nullptr)
                    *error = QStringLiteral("The number %1 holds more than one \"+\"").arg(number);
                return false;
            }
            international = true;
            out += internationalPrefix.isEmpty() ? QStringLiteral("00") : internationalPrefix;
        } else if (c.isDigit() || QStringLiteral("*#,TPWtpw").contains(c)) {
            out += c.toUpper();
        }
    }
    if (dialable != nullptr)
        *dialable = out;
    return true;
}

std::unique_ptr<Telephony> createSystemTelephony()
{
    HayesTelephonyOptions options;
    options.configured = qEnvironmentVariable("OVEX_MODEMS").split(u':', Qt::SkipEmptyParts);
    return std::make_unique<HayesTelephony>(options);
}

}  // namespace platform
