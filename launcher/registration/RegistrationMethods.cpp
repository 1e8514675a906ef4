#include "launcher/registration/RegistrationMethods.h"

#include "launcher/registration/PaperRun.h"
#include "launcher/registration/RegistrationStatus.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/Clock.h"
#include "regengine/core/Constraint.h"
#include "regengine/core/Displayer.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/print/PrintMeView.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QStringList>

using namespace engine;

namespace launcher {

namespace {

using platform::formatText;

const char16_t* const kMethodTexts[RegistrationMethods::kMethodCount] = {
    u";MDR", u";EMR", u";BRR", u";FMR", u";WEB", u";RPC",
};
const char16_t kSuccessLetters[RegistrationMethods::kMethodCount] = {u'M', u'E', u'B', u'X', u'F', u'R'};

const FourCC kMethodField(";MTH");
const FourCC kMfgr("MFGR");
const FourCC kProd("PROD");
const FourCC kToken("URID");
constexpr qsizetype kThankYouLimit = 2048;

}  // namespace

int RegistrationMethods::MethodIndex(const QString& text)
{
    if (text.isEmpty())
        return Modem;
    for (int i = 0; i < kMethodCount; ++i) {
        if (text == QStringView(kMethodTexts[i]))
            return i;
    }
    return -1;
}

QString RegistrationMethods::MethodText(int index)
{
    return index >= 0 && index < kMethodCount ? QString::fromUtf16(kMethodTexts[index]) : QString();
}

QChar RegistrationMethods::SuccessLetter(int index)
{
    return index >= 0 && index < kMethodCount ? QChar(kSuccessLetters[index]) : QChar(u'F');
}

QString RegistrationMethods::EncodeFieldsHex(int count, const QString& codes, const QString& key,
                                             const FieldList& pageFields)
{
    if (count < 1 || codes.size() < 4 || count > key.size())
        return QString();
    QString source;
    for (const QString& code : codes.split(u' ', Qt::SkipEmptyParts)) {
        if (const Field* field = pageFields.Find(FourCC(code)))
            source += field->GetValue();
    }
    QString hex;
    unsigned long long sum = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = i < source.size() ? source.at(i).unicode() : u' ';
        hex += formatText(QStringLiteral("%02x"), unsigned(c ^ key.at(i).unicode()));
        sum += (unsigned long long)c * unsigned(i + 1);
    }
    return hex + formatText(QStringLiteral("%04X"), sum);
}

RegistrationMethods::RegistrationMethods(RegWind& window) : window_(window) {}

RegistrationMethods::~RegistrationMethods() = default;

void RegistrationMethods::SetInternet(InetLoader* loader, const RegistrationEndpoints& endpoints)
{
    loader_ = loader;
    endpoints_ = endpoints;
}

bool RegistrationMethods::Register(const QString& method, QChar& status)
{
    const bool given = !method.isEmpty();
    const QString name = given ? method : window_.GetList(RegWind::PageFields)->GetField(kMethodField);
    const int index = MethodIndex(name);
    QChar letter = u'F';

    window_.SetTopMost(false);
    window_.BuildPacket();
    bool ok = false;
    if (index < 0) {
        // A misspelled method must not fall to some other way out of the machine.
        EngineTrace(formatText(QStringLiteral("Register: unknown registration method %s"), name));
        platform::messageBox(formatText(QStringLiteral("The registration method \"%s\" is unknown, so nothing "
                                                       "was sent."),
                                        name),
                             QStringLiteral("Registration"), platform::mb::Ok | platform::mb::IconHand);
    } else {
        ok = RunMethod(index);
    }
    if (ok)
        letter = SuccessLetter(index);
    if (window_.GetFlags() & RegWind::kTopMost)
        window_.SetTopMost(true);

    const QString backup = window_.GetSettings().backupMethod;
    if (!ok && CancelFlag() == 0 && !backup.isEmpty() && backup != name && !given) {
        const FourCC table("RGFL");
        if (platform::messageBox(MakeStringFromTable(table, 2), MakeStringFromTable(table, 1),
                                 platform::mb::YesNo | platform::mb::IconHand) == platform::id::Yes)
            return Register(backup, status);
    }

    SavePrefs();
    WriteRegStatus(letter);
    status = letter;
    window_.Notify(kStatusNotify, StatusNotifyValue(letter));
    return ok;
}

bool RegistrationMethods::RunMethod(int index)
{
    switch (index) {
    case Modem: {
        // The record as it is sent, private codes left out again.
        FieldList record = window_.AssembleRecord();
        window_.RemoveListedFields(record);
        window_.SetRemoteMoved(false);
        if (!window_.RegisterByModem(record))
            return false;
        // A service that moved the page has taken over the navigation: no success page.
        if (window_.IsRemoteMoved())
            return false;
        window_.GoToSuccessPage();
        return true;
    }
    case Email:
        if (!RegisterByEmail(window_, true, emailHooks_))
            return false;
        window_.GoToSuccessPage();
        return true;
    case MailForm:
    case FaxForm:
        if (!RegisterOnPaper(window_, index == MailForm ? 1 : 0,
                             printView_ != nullptr ? printView_ : CPrintMeView::LiveView()))
            return false;
        window_.GoToSuccessPage();
        return true;
    case Web: return true;
    case Internet:
        if (!RegisterByXmlRpc())
            return false;
        window_.GoToSuccessPage();
        OpenThankYouUrls();
        return true;
    default: return false;
    }
}

void RegistrationMethods::WriteRegStatus(QChar letter)
{
    if (!window_.OpenRegistryKey())
        return;
    const Clock& clock = clock_ != nullptr ? *clock_ : Clock::System();
    SetEngineRegistryValue(QStringLiteral("RegStatus"),
                           platform::RegValue::fromString(RegStatusText(letter, clock.CurrentTime())));
}

void RegistrationMethods::SavePrefs()
{
    RegFile* prefs = window_.GetPrefsFile();
    if ((window_.GetFlags() & RegWind::kKeepPrefs) || prefs == nullptr)
        return;
    prefs->MergeFields(*window_.GetList(RegWind::InitialValues));
    prefs->StoreProductFields(*window_.GetList(RegWind::HeaderRecord));
    if (!prefs->Save())
        EngineTrace(QStringLiteral("The prefs file could not be saved"));
}

void RegistrationMethods::SetProductHeaders()
{
    RegFile* prefs = window_.GetPrefsFile();
    if (prefs == nullptr)
        return;
    const FieldList& header = *window_.GetList(RegWind::HeaderRecord);
    prefs->GetProductList(FourCC(header.GetField(kMfgr)), FourCC(header.GetField(kProd)));
    window_.SetSameProduct(prefs->IsLastProd());
}

void RegistrationMethods::MarkItemRegistered()
{
    FieldList& header = *window_.GetList(RegWind::HeaderRecord);
    RegFile* prefs = window_.GetPrefsFile();
    FieldList* target = prefs != nullptr
                            ? prefs->GetProductList(FourCC(header.GetField(kMfgr)), FourCC(header.GetField(kProd)))
                            : nullptr;
    header.AddItemCodeToRegisteredSet(target);
}

bool RegistrationMethods::EnableConstraint(const QString& name, bool on)
{
    Constraint* constraint = Constraint::Find(name);
    if (constraint == nullptr)
        return false;
    constraint->SetFlags(on ? ConstraintFlag::Required : 0u, on ? 0u : ConstraintFlag::Required);
    return true;
}

void RegistrationMethods::OpenThankYouUrls()
{
    ScriptReader* reader = window_.GetScriptReader();
    const QmStringList* list = reader != nullptr ? reader->FindList(QStringLiteral("thankyouURLs")) : nullptr;
    QString address;
    if (list == nullptr || !list->GetItemAsString(0, address) || address.isEmpty())
        return;
    address.truncate(kThankYouLimit);
    bool withRecord = false;
    address = window_.AddressForUser(address, false, &withRecord);
    if (const qsizetype at = address.indexOf(QStringLiteral("%u")); at >= 0) {
        address.remove(at, 3);
        // The hex text is the record's too: a plain-http page gets none.
        if (withRecord)
            address.insert(at, window_.EncodeFieldsHex());
    }
    window_.OpenInShell(address);
    window_.SetQuitAfterThankYou(true);
}

void RegistrationMethods::OnRegistered()
{
    MarkItemRegistered();
}

// The record goes out only once the server is reached over verified HTTPS; with uploads a
// token ties them to it. A failure at any step ends the run, and the server session is
// closed and the status window ended whatever happened.
bool RegistrationMethods::RegisterByXmlRpc()
{
    QString text = window_.FieldsText(u'\t', RegWind::kLeaveOutPrivate);
    Displayer* display = status_ != nullptr ? status_->Begin() : nullptr;
    SetCancelFlag(0);
    window_.setEnabled(false);
    EngineTrace(QStringLiteral("*** Starting an XML-RPC registration ***"));

    StreamRPCToNet net(display, loader_, endpoints_);
    bool ok = net.Connect(window_.GetSettings().rpcRedirect);
    if (ok) {
        net.DisplayString(QStringLiteral("Sending your information."), 5);
        // The product code is the header's own, never a search of the record's text.
        const QString product = window_.GetList(RegWind::HeaderRecord)->GetField(kProd);
        const QHash<QString, QString>& uploads = window_.GetMapValues();
        QStringList names = uploads.keys();
        names.sort();
        QString token;
        if (!names.isEmpty()) {
            ok = net.GenerateRegToken(product, token);
            if (ok)
                text += FieldCodeToString(kToken) + u':' + token + u'\t';
        }
        ok = ok && net.SendRegistration(product, text);
        for (const QString& name : names) {
            if (!ok)
                break;
            ok = net.AssociateDataWithRegistration(product, token, name, uploads.value(name));
        }
    }
    if (ok) {
        net.DisplayString(QStringLiteral("Receiving information."), 6);
        net.DisplayString(QStringLiteral("Registration sent...closing connection."), 7);
        net.Display(QString());
        EngineTrace(QStringLiteral("*** End of XML-RPC registration ***"));
    } else {
        net.Display(QString());
        // A cancelled run is a failed attempt too, so the script's hooks hear of it; only the
        // error texts stay away.
        window_.PerformEvent(AttachEvent::RegisterFailed);
    }
    net.Reset();
    if (status_ != nullptr)
        status_->End();
    window_.setEnabled(true);
    if (ok)
        window_.PerformEvent(AttachEvent::Registered);
    return ok;
}

}  // namespace launcher
