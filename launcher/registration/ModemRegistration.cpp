#include "launcher/registration/ModemRegistration.h"

#include "launcher/window/RegWind.h"

#include "regengine/core/Attachable.h"
#include "regengine/core/Clock.h"
#include "regengine/core/Displayer.h"
#include "regengine/core/Dumper.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FileDisplayer.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/transport/Packet.h"
#include "regengine/transport/PacketExchanger.h"
#include "regengine/transport/RemoteCommand.h"
#include "regengine/transport/TapiHayes.h"
#include "regengine/transport/X25.h"
#include "regengine/ui/dialogs/StatusDialog.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QDir>

namespace launcher {

namespace {

const engine::FourCC kTable("RGWN");

QString text(int n, const char* english)
{
    return engine::GetTableString(QString::fromLatin1(english), n, kTable);
}

QString digitsOf(const QString& number, qsizetype most)
{
    QString digits;
    for (const QChar c : number) {
        if (digits.size() >= most)
            break;
        if (c.isDigit())
            digits += c;
    }
    return digits;
}

class Silent final : public engine::Displayer {
public:
    void Clear() override {}
    void Append(QStringView) override {}
};

constexpr int kFirstIcon = 2017;
constexpr int kLastIcon = 2018;

class DialogStatus final : public ModemStatus {
public:
    explicit DialogStatus(QWidget* parent) : dialog_(engine::StatusDialog::kDefaultTemplate, parent) {}
    ~DialogStatus() override { Close(); }
    void Open(int* cancelFlag) override
    {
        dialog_.CreateModeless();
        dialog_.SetCancelFlagPtr(cancelFlag);
        line_ = dialog_.SetTextItem(engine::StatusDialog::kTextItem);
        // One line shows the latest status: each write replaces the one before, line end
        // and all, so the line never ends up blank.
        if (line_ != nullptr)
            line_->SetClearFirst(true);
        dialog_.StartAnimation(engine::StatusDialog::kIconItem, kFirstIcon, kLastIcon);
        // The device's waits pump events through the idle target, which moves the icon.
        engine::SetIdleCallback(&DialogStatus::Animate, &dialog_);
    }
    engine::Displayer* Line() override { return line_ != nullptr ? line_ : &silent_; }
    void StopAnimation() override { dialog_.StopAnimation(0); }
    void Hide() override { dialog_.hide(); }
    void Close() override
    {
        engine::SetIdleCallback(nullptr, nullptr);
        dialog_.DestroyWindow();
    }

private:
    static void Animate(QObject* window) { static_cast<engine::StatusDialog*>(window)->Animate(); }

    engine::StatusDialog dialog_;
    engine::Displayer* line_ = nullptr;
    Silent silent_;
};

}  // namespace

std::unique_ptr<ModemStatus> MakeStatusDialog(QWidget* parent)
{
    return std::make_unique<DialogStatus>(parent);
}

QString DefaultServiceNumber()
{
    return QStringLiteral(OVEX_MODEM_SERVICE_NUMBER);
}

ModemRegistration::ModemRegistration(RegWind& window, const ModemRunOptions& options)
    : window_(window), options_(options)
{}

bool ModemRegistration::ChooseX25(const QString& number, const QString& serviceNumber)
{
    const QString digits = digitsOf(number, 40);
    const QString own = digitsOf(serviceNumber, 40);
    if (digits.size() < 8)
        return false;
    if (!own.isEmpty() && digits.contains(own))
        return false;
    return !digits.startsWith(QLatin1String("1800")) && !digits.startsWith(QLatin1String("1888"));
}

bool ModemRegistration::Run(const engine::FieldList& record)
{
    engine::SetCancelFlag(0);
    // The record is made into its packet before anything is shown or dialled: one the service
    // could not read back as written is refused here, with the reason, not lost on the line.
    engine::Packet fields;
    QString refused;
    if (!fields.AddFields(record, engine::Packet::kSkipUnderscore, &refused)) {
        engine::EngineTrace(refused);
        platform::messageBox(QStringLiteral("Your registration was not sent. %1.").arg(refused),
                             QStringLiteral("Registration"), platform::mb::IconHand);
        window_.PerformEvent(engine::AttachEvent::RegisterFailed);
        return false;
    }
    fields.Finish();

    std::unique_ptr<ModemStatus> status = options_.status ? options_.status() : nullptr;
    if (!status)
        status = MakeStatusDialog(&window_);
    status->Open(engine::CancelFlagPointer());
    window_.setEnabled(false);

    // The modem: the modem page's choice when it has one.
    QString deviceName = record.GetField(engine::FourCC("CmDv"));
    QString modem = record.GetField(engine::FourCC("_MDM"));
    if (engine::QmWind* choice = window_.FindControl(engine::FourCC("_MDM"))) {
        deviceName = choice->GetValue();
        modem = deviceName;
    }
    engine::TapiHayes device(deviceName, options_.telephony);
    if (!modem.isEmpty())
        device.SetDeviceIndex(modem.toInt());
    device.SetCancelFlag(engine::CancelFlagPointer());
    if (options_.clock != nullptr) {
        device.SetClock(options_.clock);
        device.SetDeviceClock(options_.clock);
    }
    device.SetStatusDisplayer(status->Line());
    engine::Dumper dumper;
    engine::FileDisplayer dumpFile(options_.clock);
    if (record.GetField(engine::FourCC("FNAM")).compare(QLatin1String("ModemDump"), Qt::CaseInsensitive) == 0) {
        const QString folder = options_.dumpFolder.isEmpty() ? QDir::currentPath() : options_.dumpFolder;
        if (dumpFile.Open(QDir(folder).filePath(QStringLiteral("ModemDump.txt"))))
            dumper.Attach(&dumpFile);
        device.SetEchoMode(1);
        platform::beep(platform::mb::Ok);
    }
    device.SetDumper(&dumper);

    QString number = record.GetField(engine::FourCC("_CAL"));
    if (number.isEmpty())
        number = options_.serviceNumber;
    window_.SetUseX25(ChooseX25(number, options_.serviceNumber));
    const QString prefix = record.GetField(engine::FourCC("dlpr"));
    if (!prefix.isEmpty())
        number.prepend(prefix);

    const auto finish = [&](bool success) {
        status->Close();
        window_.setEnabled(true);
        window_.raise();
        window_.activateWindow();
        if (success)
            window_.PerformEvent(engine::AttachEvent::Registered);
        return success;
    };
    const auto fail = [&](const QString& shown, qint32 waitTicks) {
        device.ShowStatus(shown);
        device.WaitTicks(waitTicks);
        device.HangUp();
        device.Close();
        status->Hide();
        return finish(false);
    };

    // An emergency number is never dialled, whatever the prefix made of it. The "+" of an
    // international number is dialled as an international prefix, which begins with 0: a
    // number in Delhi (+91 11 ...) is no emergency number.
    const QString first = digitsOf(QString(number).replace(u'+', u'0'), 3);
    if (first == QLatin1String("911")) {
        device.WaitTicks(10);
        status->Close();
        window_.setEnabled(true);
        platform::messageBox(platform::formatText(text(15, "%s is not a valid dialing prefix."), first), QString(),
                             platform::mb::IconHand);
        return false;
    }

    device.ShowStatus(text(1, "Checking for modem."));
    if (!device.Dial(number.toLatin1().constData())) {
        const bool cancelled = engine::CancelFlag() != 0;
        device.HangUp();
        device.ShowStatus(cancelled ? text(12, "Connection Cancelled.") : text(6, "Connection failed."));
        device.WaitTicks(35);
        device.Close();
        status->Hide();
        if (!cancelled)
            window_.PerformEvent(engine::AttachEvent::RegisterFailed);
        return finish(false);
    }
    engine::EngineTrace(QStringLiteral("Before Flush"));
    device.WaitTicks(5);
    device.FlushInput(10, 100);
    engine::EngineTrace(QStringLiteral("After Flush"));

    if (window_.GetUseX25()) {
        engine::X25 x25(&device);
        if (x25.Logon() != 0) {
            window_.PerformEvent(engine::AttachEvent::RegisterFailed);
            return fail(text(6, "X25 Connection failed."), 20);
        }
    }

    engine::Packet reply;
    try {
        engine::PacketExchanger exchanger(0, &device);
        exchanger.Start();
        engine::EngineTrace(QStringLiteral("After Exchg"));
        engine::FieldList request;
        request.SetField(engine::FourCC("TYPE"),
                         window_.IsExchangeFinished() ? QStringLiteral("Order") : QStringLiteral("Register"));
        engine::Packet type;
        type.AddFields(request);
        type.Finish();
        exchanger.SendPacket(type);
        device.ShowStatus(text(3, "Sending product information."));
        if (window_.GetHeaderPacket().GetLength() > 0)
            exchanger.SendPacket(window_.GetHeaderPacket());
        device.ShowStatus(text(4, "Sending your information."));
        exchanger.SendPacket(fields);
        device.ShowStatus(text(5, "Receiving information."));
        exchanger.ReceivePacket(reply, true, true, 0);
    } catch (int) {
        const bool cancelled = engine::CancelFlag() != 0;
        window_.PerformEvent(engine::AttachEvent::RegisterFailed);
        return fail(cancelled ? text(12, "Connection cancelled.") : text(6, "Connection failed."), cancelled ? 35 : 0);
    }
    status->StopAnimation();
    device.WaitTicks(20);
    device.HangUp();
    device.Close();

    engine::PacketReadGuard(reply, true);
    quint32 position = 0;
    engine::RemoteRecord command;
    while (engine::ReadRecord(reply, position, command))
        window_.ExecuteRemoteCommand(command);
    engine::PacketReadGuard(reply, false);
    window_.SetExchangeFinished(true);
    return finish(true);
}

}  // namespace launcher
