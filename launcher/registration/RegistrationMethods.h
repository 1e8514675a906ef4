#pragma once

#include "launcher/registration/EmailRun.h"

#include "regengine/transport/StreamRPCToNet.h"

#include <QChar>
#include <QString>

#include <utility>

namespace engine {
class Clock;
class CPrintMeView;
class FieldList;
class InetLoader;
}  // namespace engine

namespace launcher {

class RegWind;
class RegistrationStatus;

// The registration window's runs by method, the status they leave in the engine key's
// "RegStatus", the prefs bookkeeping around them and the thank-you address.
class RegistrationMethods {
public:
    // The methods by their index, as the page field ";MTH" names them.
    enum Method { Modem = 0, Email = 1, MailForm = 2, FaxForm = 3, Web = 4, Internet = 5 };
    static constexpr int kMethodCount = 6;
    // The index of a method text, compared exactly; -1 for any other text. An empty text is
    // the modem.
    static int MethodIndex(const QString& text);
    static QString MethodText(int index);
    // The "RegStatus" letter of a run of that method that succeeded.
    static QChar SuccessLetter(int index);
    // 2N lower-case hex digits of the source text XOR the key, then the sum in at least four
    // upper-case ones; the source is the page-field values of the blank-separated codes.
    // Empty when N < 1, the codes are shorter than four characters or N exceeds the key.
    static QString EncodeFieldsHex(int count, const QString& codes, const QString& key,
                                   const engine::FieldList& pageFields);

    // Sent to the window and its listeners after every run; the value holds the two
    // characters 'R' and the status letter (StatusNotifyValue).
    static constexpr int kStatusNotify = 1006;
    static int StatusNotifyValue(QChar letter) { return int(u'R') << 16 | letter.unicode(); }

    explicit RegistrationMethods(RegWind& window);
    ~RegistrationMethods();
    RegistrationMethods(const RegistrationMethods&) = delete;
    RegistrationMethods& operator=(const RegistrationMethods&) = delete;

    // The times "RegStatus" is written with; null: the system clock. Not owned.
    void SetClock(const engine::Clock* clock) { clock_ = clock; }
    // The status window of the internet run; null shows nothing. Not owned.
    void SetStatus(RegistrationStatus* status) { status_ = status; }
    // The internet library and the built-in server addresses of the internet run.
    void SetInternet(engine::InetLoader* loader, const engine::RegistrationEndpoints& endpoints);
    // What the e-mail run asks of the desktop.
    void SetEmailHooks(EmailRunHooks hooks) { emailHooks_ = std::move(hooks); }
    // The view the printed runs print through; null: the launcher's own. Not owned.
    void SetPrintView(engine::CPrintMeView* view) { printView_ = view; }

    // Runs `method` (empty: the page field ";MTH"), offers the backup method when it failed,
    // saves the prefs and writes "RegStatus". True when it registered; `status` gets the
    // letter the run left.
    bool Register(const QString& method, QChar& status);
    // The status letter into the engine key's "RegStatus"; nothing while the key cannot open.
    void WriteRegStatus(QChar letter);
    // The initial values into the prefs file's global fields, the header record into its
    // product list, and the file saved. Nothing with the window's kKeepPrefs.
    void SavePrefs();
    // On the first page: the product list of the header's MFGR and PROD, made when missing,
    // and whether that product was the one saved last.
    void SetProductHeaders();
    // The first letter of the header's "itcd" joins "rgit" of the product list (of the header
    // record when there is none).
    void MarkItemRegistered();
    // The required flag of the constraint with exactly that name; false when there is none.
    static bool EnableConstraint(const QString& name, bool on);
    // The first "thankyouURLs" item, tags substituted, the hex text at its "%u", opened; the
    // program then ends with the next command.
    void OpenThankYouUrls();
    // What follows a successful run of the commands: the item marked registered.
    void OnRegistered();

    // The internet run: the record to the registration server, then each upload.
    bool RegisterByXmlRpc();

private:
    bool RunMethod(int index);

    RegWind& window_;
    const engine::Clock* clock_ = nullptr;
    RegistrationStatus* status_ = nullptr;
    engine::InetLoader* loader_ = nullptr;
    engine::RegistrationEndpoints endpoints_;
    EmailRunHooks emailHooks_;
    engine::CPrintMeView* printView_ = nullptr;
};

}  // namespace launcher
