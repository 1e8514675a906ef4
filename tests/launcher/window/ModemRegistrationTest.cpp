#include "launcher/registration/ModemRegistration.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/SmartFile.h"
#include "regengine/transport/Packet.h"
#include "regengine/ui/dialogs/StatusDialog.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/telephony/HayesTelephony.h"
#include "platform/ui/Ui.h"

#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/peers/FakeModem.h"
#include "tests/peers/ModemService.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>

using namespace launcher;
using regwindtest::editOf;
using testpeers::codeArg;
using testpeers::FakeModem;
using testpeers::remoteRecord;
using testpeers::telephonyFor;
using testpeers::utf16Arg;

namespace {

const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">PAGE PG00 0 0 100 100 0 Your details\n>EDIT NAME 0\n"
    ">PAGE PG01 0 0 100 100 0 Thanks\n>EDIT RGID 0\n");

// The status dialog as the run drives it; Cancel is pressed when a line begins with
// `cancelAt`.
class RecordingStatus final : public ModemStatus {
public:
    struct Log {
        QStringList lines;
        bool opened = false, closed = false, hidden = false;
        QString cancelAt;
    };
    explicit RecordingStatus(Log& log) : log_(log), line_(log, cancel_) {}
    void Open(int* cancelFlag) override
    {
        cancel_ = cancelFlag;
        log_.opened = true;
    }
    engine::Displayer* Line() override { return &line_; }
    void StopAnimation() override {}
    void Hide() override { log_.hidden = true; }
    void Close() override { log_.closed = true; }

private:
    class StatusLine final : public engine::Displayer {
    public:
        StatusLine(Log& log, int*& cancel) : log_(log), cancel_(cancel) {}
        void Clear() override {}
        void Append(QStringView text) override
        {
            const QString line = text.toString().trimmed();
            if (line.isEmpty())
                return;
            log_.lines << line;
            if (!log_.cancelAt.isEmpty() && line.startsWith(log_.cancelAt) && cancel_ != nullptr)
                *cancel_ = 1;
        }

    private:
        Log& log_;
        int*& cancel_;
    };
    Log& log_;
    int* cancel_ = nullptr;
    StatusLine line_;
};

class Boxes final : public platform::MessageSink {
public:
    Boxes() { platform::setMessageSink(this); }
    ~Boxes() override { platform::setMessageSink(nullptr); }
    int messageBox(const QString& text, const QString&, unsigned) override
    {
        shown << text;
        return platform::id::Ok;
    }
    void beep(unsigned) override { ++beeps; }
    QStringList shown;
    int beeps = 0;
};

// A window, a fake modem playing the service's script and the run's options around them.
struct ModemRun {
    explicit ModemRun(testpeers::ServiceScript script, std::vector<FakeModem::DialResult> dials = {})
        : log(std::make_shared<testpeers::ServiceLog>()), modem(options(std::move(script), log, std::move(dials))),
          telephony(telephonyFor(modem)), reader(regwindtest::runScript(kScript)), window(*reader->GetWindow())
    {
        dumpFolder = testsupport::sandboxRoot() + QStringLiteral("/dump");
        QDir().mkpath(dumpFolder);
        ModemRunOptions& o = window.GetModemOptions();
        o.telephony = &telephony;
        o.clock = &clock;
        o.dumpFolder = dumpFolder;
        o.serviceNumber = QStringLiteral("18005550199");
        o.status = [this] { return std::make_unique<RecordingStatus>(status); };
        // The header packet goes between the request type and the record.
        window.BuildPacket();
        record.SetField(engine::FourCC("NAME"), QStringLiteral("Jörg"));
        record.SetField(engine::FourCC("_CAL"), QStringLiteral("1-800-555-0100"));
        record.SetField(engine::FourCC("FNAM"), QStringLiteral("modemdump"));
    }
    static FakeModem::Options options(testpeers::ServiceScript script, std::shared_ptr<testpeers::ServiceLog> log,
                                      std::vector<FakeModem::DialResult> dials)
    {
        FakeModem::Options o = FakeModem::at(2400);
        o.dials = std::move(dials);
        o.service = testpeers::registrationService(std::move(script), std::move(log));
        return o;
    }
    bool run() { return window.RegisterByModem(record); }
    QByteArray dump() const { return testsupport::readFile(dumpFolder + QStringLiteral("/ModemDump.txt")); }

    std::shared_ptr<testpeers::ServiceLog> log;
    FakeModem modem;
    platform::HayesTelephony telephony;
    transporttest::StepClock clock{20};
    std::unique_ptr<ScriptReader> reader;
    RegWind& window;
    RecordingStatus::Log status;
    engine::FieldList record;
    QString dumpFolder;
    Boxes boxes;
};

// The bytes of every block of a dump (UTF-16 text), read back from its hexadecimal columns.
QByteArray dumpedBytes(const QByteArray& file)
{
    return testpeers::dumpedBytes(
        QString::fromUtf16(reinterpret_cast<const char16_t*>(file.constData()), file.size() / 2));
}

testpeers::ServiceScript replying(const QByteArray& records)
{
    testpeers::ServiceScript script;
    script.packetsIn = 3;
    script.reply = records;
    return script;
}

TEST(ModemRegistration, RegistersDirectlyAndCarriesOutTheReply)
{
    ModemRun r(replying(remoteRecord("NSCR") + remoteRecord("SETF", codeArg("RGID", QStringLiteral("R-42")))));
    EXPECT_TRUE(r.run());
    EXPECT_EQ(r.modem.dialled(), QStringList{"18005550100"});
    EXPECT_FALSE(r.window.GetUseX25());
    const QList<QByteArray> packets = r.log->Packets();
    ASSERT_EQ(packets.size(), 3);
    EXPECT_TRUE(packets[0].contains(QByteArray("TYPE:Register\0", 14)));
    EXPECT_EQ(packets[1], r.window.GetHeaderPacket().Bytes().toByteArray());
    EXPECT_TRUE(packets[2].contains(QByteArray("NAME:J\xc3\xb6rg\0", 11)));
    EXPECT_FALSE(packets[2].contains("_CAL")) << "codes with '_' stay home";
    EXPECT_EQ(r.window.GetCurrentPageIndex(), 1);
    EXPECT_TRUE(r.window.IsRemoteMoved());
    EXPECT_EQ(editOf(r.window, "RGID")->text(), QStringLiteral("R-42"));
    EXPECT_TRUE(r.window.IsExchangeFinished());
    EXPECT_TRUE(r.status.opened && r.status.closed);
    EXPECT_TRUE(r.status.lines.contains(QStringLiteral("Receiving information.")));
    EXPECT_TRUE(r.window.isEnabled());
    // "ModemDump" in FNAM, in any letter case, dumps the traffic and beeps.
    EXPECT_TRUE(dumpedBytes(r.dump()).contains("TYPE:Register"));
    EXPECT_EQ(r.boxes.beeps, 1);
}

TEST(ModemRegistration, ThroughX25TheWireCarriesTheSecretsAndTheDumpDoesNot)
{
    testpeers::ServiceScript script = replying(remoteRecord("SETF", codeArg("NAME", QStringLiteral("Jo"))));
    script.x25 = testpeers::X25Dialogue();
    ModemRun r(script);
    r.record.SetField(engine::FourCC("_CAL"), QStringLiteral("030 5551 234"));
    EXPECT_TRUE(r.run());
    EXPECT_TRUE(r.window.GetUseX25());
    const QByteArray wire = r.log->Wire();
    EXPECT_TRUE(wire.startsWith("...\rNUI a0100aaa\rSe5ame!x9\r")) << wire.left(40).toHex().constData();
    const QByteArray dumped = dumpedBytes(r.dump());
    ASSERT_TRUE(dumped.contains("C SERVICE")) << "the dump holds the rest of the dialogue";
    for (const char* secret : {"a0100aaa", "Se5ame!x9"})
        EXPECT_FALSE(dumped.contains(secret)) << secret;
    EXPECT_EQ(editOf(r.window, "NAME")->text(), QStringLiteral("Jo"));
}

TEST(ModemRegistration, ABusyLineFailsAndTheRetryRegisters)
{
    ModemRun r(replying({}), {FakeModem::DialResult::Busy, FakeModem::DialResult::Connect});
    EXPECT_FALSE(r.run());
    EXPECT_TRUE(r.status.lines.contains(QStringLiteral("Connection failed.")));
    EXPECT_TRUE(r.status.hidden);
    EXPECT_FALSE(r.window.IsExchangeFinished());
    EXPECT_TRUE(r.run());
    EXPECT_EQ(r.modem.dialled().size(), 2);
    EXPECT_TRUE(r.window.IsExchangeFinished());
}

TEST(ModemRegistration, AServiceThatNeverSpeaksFailsTheRun)
{
    testpeers::ServiceScript script;
    script.silent = true;
    ModemRun r(script);
    EXPECT_FALSE(r.run());
    EXPECT_TRUE(r.status.lines.contains(QStringLiteral("Connection failed.")));
    EXPECT_FALSE(r.window.IsExchangeFinished());
}

TEST(ModemRegistration, AHangUpMidExchangeFailsTheRun)
{
    testpeers::ServiceScript script = replying({});
    script.hangUpAfter = 1;
    ModemRun r(script);
    EXPECT_FALSE(r.run());
    EXPECT_EQ(r.log->Packets().size(), 1);
    EXPECT_TRUE(r.status.lines.contains(QStringLiteral("Connection failed.")));
    EXPECT_TRUE(r.window.isEnabled());
}

TEST(ModemRegistration, CancelInTheStatusDialogEndsTheRun)
{
    ModemRun r(replying(remoteRecord("NSCR")));
    r.status.cancelAt = QStringLiteral("Sending your information.");
    EXPECT_FALSE(r.run());
    EXPECT_TRUE(r.status.lines.contains(QStringLiteral("Connection cancelled.")))
        << qPrintable(r.status.lines.join('|'));
    EXPECT_EQ(r.window.GetCurrentPageIndex(), 0) << "no command of the reply ran";
    engine::SetCancelFlag(0);
}

// The engine's status dialog itself, its Cancel button clicked when the record goes out.
TEST(ModemRegistration, TheStatusDialogsCancelButtonEndsTheRun)
{
    ModemRun r(replying(remoteRecord("NSCR")));
    QStringList shown;
    struct Clicking final : public ModemStatus {
        Clicking(QWidget* parent, QStringList& shown) : real(MakeStatusDialog(parent)), line(*this, shown) {}
        void Open(int* flag) override { real->Open(flag); }
        engine::Displayer* Line() override { return &line; }
        void StopAnimation() override { real->StopAnimation(); }
        void Hide() override { real->Hide(); }
        void Close() override { real->Close(); }
        struct Tee final : public engine::Displayer {
            Tee(Clicking& owner, QStringList& shown) : owner(owner), shown(shown) {}
            void Clear() override { owner.real->Line()->Clear(); }
            void Append(QStringView text) override
            {
                owner.real->Line()->Append(text);
                if (!text.trimmed().isEmpty())
                    shown << text.trimmed().toString();
                if (!text.startsWith(u"Sending your information."))
                    return;
                for (QWidget* top : QApplication::topLevelWidgets()) {
                    if (auto* dialog = qobject_cast<QDialog*>(top); dialog != nullptr && dialog->isVisible()) {
                        for (auto* button : dialog->findChildren<QPushButton*>())
                            button->click();
                    }
                }
            }
            Clicking& owner;
            QStringList& shown;
        };
        std::unique_ptr<ModemStatus> real;
        Tee line;
    };
    r.window.GetModemOptions().status = [&] { return std::make_unique<Clicking>(&r.window, shown); };
    EXPECT_FALSE(r.run());
    EXPECT_TRUE(shown.contains(QStringLiteral("Connection cancelled."))) << qPrintable(shown.join('|'));
    EXPECT_EQ(r.window.GetCurrentPageIndex(), 0);
    EXPECT_TRUE(r.window.isEnabled());
    engine::SetCancelFlag(0);
}

// The dialog's line shows the device's latest status, though each arrives with a line end.
TEST(ModemRegistration, TheStatusLineShowsTheLatestStatus)
{
    QWidget parent;
    std::unique_ptr<ModemStatus> status = MakeStatusDialog(&parent);
    int cancel = 0;
    status->Open(&cancel);
    status->Line()->WriteLine(QStringLiteral("Dialling the registration service..."), true);
    status->Line()->WriteLine(QStringLiteral("Connected."), true);
    QLabel* line = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(top); dialog != nullptr && dialog->isVisible())
            line = qobject_cast<QLabel*>(engine::DialogItem(dialog, engine::StatusDialog::kTextItem));
    }
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), QStringLiteral("Connected."));
    status->Close();
}

// The window's Register command with the modem method chosen on the page.
TEST(ModemRegistration, TheRegisterCommandRunsTheModemMethod)
{
    struct Case {
        const char* name;
        QByteArray reply;
        QChar status;
        int page;
    } cases[] = {
        {"a reply that sets a field ends on the success page", remoteRecord("SETF", codeArg("RGID", "R-42")), u'M', 1},
        {"a reply that moves the page leaves the navigation to the service", remoteRecord("NSCR"), u'F', 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModemRun r(replying(c.reply));
        r.window.SetFieldByKind(u'U', engine::FourCC(";MTH"), QStringLiteral(";MDR"));
        r.window.SetFieldByKind(u'U', engine::FourCC("_CAL"), QStringLiteral("18005550100"));
        editOf(r.window, "NAME")->setText(QStringLiteral("Jörg"));
        r.window.OnNotify(&r.window, RegCommand::Register, 0);
        EXPECT_EQ(r.window.GetLastStatus(), c.status);
        EXPECT_EQ(r.window.GetCurrentPageIndex(), c.page);
        const QList<QByteArray> packets = r.log->Packets();
        ASSERT_EQ(packets.size(), 3);
        EXPECT_TRUE(packets[2].contains(QByteArray("NAME:J\xc3\xb6rg\0", 11)));
    }
}

// A registration keeps only the serial number in the private prefs file.
TEST(ModemRegistration, ASuccessfulRegisterCommandKeepsTheSerialNumberPrivately)
{
    ModemRun r(replying(remoteRecord("SETF", codeArg("RGID", "R-42"))));
    r.window.SetFieldByKind(u'U', engine::FourCC(";MTH"), QStringLiteral(";MDR"));
    r.window.SetFieldByKind(u'U', engine::FourCC("_CAL"), QStringLiteral("18005550100"));
    r.window.SetFieldByKind(u'U', engine::FourCC("SRNM"), QStringLiteral("SN-77"));
    r.window.SetHeader(engine::FourCC("pvPR"), QStringLiteral("private.txt"));
    r.window.OnNotify(&r.window, RegCommand::Register, 0);
    ASSERT_EQ(r.window.GetLastStatus(), u'M');
    EXPECT_EQ(testsupport::readFile(QDir(engine::EngineFolder()).filePath(QStringLiteral("private.txt"))),
              QByteArray("SRNM:SN-77\r\n"));
}

TEST(ModemRegistration, APrefixThatMakesAnEmergencyNumberIsRefused)
{
    ModemRun r(replying({}));
    r.record.SetField(engine::FourCC("dlpr"), QStringLiteral("9"));
    r.record.SetField(engine::FourCC("_CAL"), QStringLiteral("11 555 0100"));
    EXPECT_FALSE(r.run());
    EXPECT_EQ(r.boxes.shown, QStringList{"911 is not a valid dialing prefix."});
    EXPECT_TRUE(r.modem.dialled().isEmpty());
}

// A record the service could not read back as written is refused before anything is dialled.
TEST(ModemRegistration, ARecordThePacketCannotCarryIsRefusedBeforeDialling)
{
    struct Case {
        const char* name;
        QString value;
        const char* shown;
    } cases[] = {
        {"a NUL that would forge a field", QString::fromUtf16(u"hi\0PROD:evil", 12), "holds a NUL character"},
        {"more than a packet carries", QString(70000, u'x'), "a packet carries at most 65534"},
    };
    for (const Case& c : cases) {
        ModemRun r(replying({}));
        r.record.SetField(engine::FourCC("NOTE"), c.value);
        EXPECT_FALSE(r.run()) << c.name;
        ASSERT_EQ(r.boxes.shown.size(), 1) << c.name;
        EXPECT_TRUE(r.boxes.shown[0].startsWith("Your registration was not sent.")) << c.name;
        EXPECT_TRUE(r.boxes.shown[0].contains(QString::fromUtf8(c.shown))) << r.boxes.shown[0].toStdString();
        EXPECT_TRUE(r.modem.dialled().isEmpty()) << c.name;
        EXPECT_TRUE(r.window.isEnabled()) << c.name;
    }
}

// The number the modem dials: international numbers with the international prefix, after
// the outside-line prefix; local ones as their digits.
TEST(ModemRegistration, TheFakeModemHearsTheNumberAsDialled)
{
    struct Case {
        const char* number;
        const char* prefix;
        const char* dialled;
    } cases[] = {
        {"+44 20 7946 0000", "", "00442079460000"},
        {"+44 20 7946 0000", "9,", "9,00442079460000"},
        {"+91 11 2345 6789", "", "00911123456789"},
        {"(030) 555-0100", "", "0305550100"},
    };
    for (const Case& c : cases) {
        ModemRun r(replying({}));
        r.record.SetField(engine::FourCC("_CAL"), QString::fromLatin1(c.number));
        r.record.SetField(engine::FourCC("dlpr"), QString::fromLatin1(c.prefix));
        // Such numbers go through the X.25 network, whose logon the fake does not play: the
        // dialling alone counts here.
        r.run();
        EXPECT_EQ(r.modem.dialled(), QStringList{QString::fromLatin1(c.dialled)}) << c.number;
    }
}

TEST(ModemRegistration, ChoosesX25ByTheNumber)
{
    const QString own = QStringLiteral("18005550199");
    struct Case {
        const char* number;
        bool x25;
    } cases[] = {
        {"1800 555 0100", false}, {"1-888-555-0100", false},   {"0305551234", true},   {"1234567", false},
        {"12345678", true},       {"9 1 800 555 0199", false}, {"(030) 555-12", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ModemRegistration::ChooseX25(QString::fromLatin1(c.number), own), c.x25) << c.number;
}

}  // namespace
