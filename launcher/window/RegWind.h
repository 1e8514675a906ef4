#pragma once

#include "launcher/script/ScriptTarget.h"
#include "launcher/window/RegWindSettings.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/RegRecordLists.h"
#include "regengine/ui/element/FieldNameSource.h"
#include "regengine/ui/element/QmWind.h"

#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QTextStream;

namespace engine {
class Clock;
class LangCode;
class Packet;
struct RemoteRecord;
class QmRegPage;
class QmStrStream;
class QmStringList;
class RegFile;
class SerialNumberMaker;
}  // namespace engine

namespace launcher {

class AppValues;
struct ModemRunOptions;
class RegistrationMethods;
class Reminders;
class ResourceUpdate;
class ScriptReader;

// Command numbers the pages' controls send to the window.
namespace RegCommand {
constexpr int SaveAndQuit = 809;
constexpr int Register = 810;
constexpr int ScheduleReminder = 811;
constexpr int ScheduleReminderFromFinalPage = 812;
constexpr int NeverRegister = 813;
constexpr int SetReminder = 819;
constexpr int OpenWebRegistration = 823;
constexpr int RegisterValidated = 824;
constexpr int AlreadyRegistered = 825;
constexpr int Hyperlink = 826;
constexpr int PreviousPage = 2000;
constexpr int NextPage = 2001;
constexpr int GoToPage = 2002;
constexpr int GoToPageValidated = 2003;
constexpr int BackToPreviousPage = 2006;
constexpr int ConditionalNextPage = 2011;
constexpr int NavigateBack = 2012;
constexpr int NavigateForward = 2013;
constexpr int Quit = 2999;
}  // namespace RegCommand

// The registration window: the top-level window that owns the pages and the field lists of
// the registration record, built by the page script's WIND line and filled by the rest of
// the script. Page controls report their commands to it through notifications, which it
// turns into page moves, registration runs, reminders and the end of the program. It is
// hidden in this product; its start event runs the hand-off attachments. The reader that
// builds it sees it as a ScriptTarget.
class RegWind : public QWidget, public engine::QmWind, public ScriptTarget, public engine::FieldNameSource {
public:
    // The field lists, by the kind GetList takes.
    using ListKind = engine::RegRecordLists::ListKind;
    using enum engine::RegRecordLists::ListKind;
    static constexpr int kListCount = engine::RegRecordLists::kListCount;
    // A script must not add more pages than this; further pages are refused.
    static constexpr int kMaxPages = 20;

    // Window flags beyond the element flags.
    static constexpr quint32 kKeepPrefs = 0x200;  // no prefs file is read or written
    static constexpr quint32 kTopMost = 0x10000;
    static constexpr quint32 kHiddenAtStart = 0x20000;
    static constexpr quint32 kClientSize = 0x400000;

    // SetControlValue flag: the page is shown for the first time.
    static constexpr quint32 kFirstShowing = 0x2;
    // WriteFields flag: codes beginning with '-', ';', '_' or a lower-case letter, which
    // never leave the machine, are left out.
    static constexpr quint32 kLeaveOutPrivate = engine::RegRecordLists::kLeaveOutPrivate;

    // The WIND line after its keyword: code, x, y, width, height, hexadecimal flags and the
    // caption (the rest of the line; a table reference is resolved).
    explicit RegWind(engine::QmStrStream& script);
    ~RegWind() override;

    // ---- Field lists and the header record ------------------------------------------
    // The lists and the record's rules are the RegRecordLists'; these forward to it.

    // Null for a kind outside 0..6.
    engine::FieldList* GetList(int kind) override;
    const engine::FieldList* GetList(int kind) const;

    // SETFIELD 'U', SETHEADER 'H', SETINITIALVALUE 'P', SETBLANKVALUE 'B'; other letters do
    // nothing.
    void SetFieldByKind(QChar kind, const engine::FourCC& code, const QString& text) override;
    // The header entry (kind 'H').
    void SetHeader(const engine::FourCC& code, const QString& text);
    // SYSPARAMETER: the field joins the initial values.
    void SetInitialValue(const engine::Field& field);
    // Replaces the value in each of page fields, initial values and header record that holds
    // the code already; adds nothing.
    virtual void UpdateFieldValue(const engine::FourCC& code, const QString& text);
    // What an attachment does with its result: the window's control with the code shows it
    // (with notification) and the lists that hold the code take it; without such a control
    // it becomes the header entry.
    void SetFieldValue(const engine::FourCC& code, const QString& text);
    // The code's value from page fields, header record and stored values, a later list
    // winning, after the current page's input is collected; empty when absent.
    virtual QString LookupField(const engine::FourCC& code);
    // The same without collecting the page first.
    QString FieldValue(const engine::FourCC& code) const;
    // The header defaults written at the end of every script run: maker, product and the
    // engine's version codes.
    void InitHeaderRecord() override;
    // Opens the engine's registry key from MFGR, PROD, VERS and the REGKEY field's value,
    // when that value is not empty.
    void ReadProductHeaders() override;
    // ReadProductHeaders, then whether the engine's key is open.
    bool OpenRegistryKey();
    // GETCOMMANDLINEHEADERS: the command line's fields join the header record.
    void MergeCommandLineFields(const engine::FieldList& fields) override;
    // The window's string map: data the internet run uploads beside the record.
    virtual void SetMapValue(const QString& key, const QString& text);
    QString GetMapValue(const QString& key) const;
    const QHash<QString, QString>& GetMapValues() const { return mapValues_; }

    // Private codes are never validated and never leave the machine.
    virtual void MarkPrivateField(const engine::FourCC& code, bool on);
    bool IsPrivateField(const engine::FourCC& code) const;
    // Clears the control with the code; with `remove` the code also leaves page fields,
    // initial values, header record and stored values.
    virtual void ClearField(const engine::FourCC& code, bool remove);

    // ---- Tag substitution -----------------------------------------------------------

    // Field tags ("<PRNM>") and application tags ("<$APP.CountryCode>", ":raw" to keep an
    // encoded substitution's value as it is) replaced by their values, after the current
    // page's input is collected. Inserted values are never scanned again.
    QString SubstituteTags(const QString& text, bool urlEncode) override;
    // Field tags only, in place, without collecting the page; when anything was replaced
    // the text is cut to 1023 characters. Returns whether anything was replaced.
    virtual bool SubstituteFieldTags(QString& text, bool urlEncode) const;
    // The value of an application name, any letter case; empty for an unknown one.
    virtual QString GetAppValue(const QString& name) const;
    // An address opened for the user, its tags URL-encoded (application tags too with
    // `appTags`). Record data goes out over https only: a plain-http address opens with its
    // field tags left empty, and `withRecord` (optional) tells the caller whether its own
    // record data may go in.
    QString AddressForUser(const QString& address, bool appTags, bool* withRecord = nullptr);
    // DOLISTSUBS: field tags substituted in every item of the reader's list of that name.
    void ExpandListText(const QString& listName) override;
    AppValues& GetAppValues() { return *appValues_; }

    // ---- The record -----------------------------------------------------------------

    // The header packet: the header record without "_nil" values and private codes, as
    // field records.
    void BuildPacket();
    const engine::Packet& GetHeaderPacket() const { return *headerPacket_; }
    // Writes fields as code, ':', value and the separator (a line feed follows a carriage
    // return). Without a list, the whole record: the header packet read back, the page
    // fields, the stored values, blank values applied, derived fields added and private codes
    // removed. A value never carries a line break into a line-separated form: each CR LF, CR
    // or LF in it is written as one blank.
    void WriteFields(QTextStream& stream, QChar separator, quint32 flags,
                     const engine::FieldList* list = nullptr) const;
    // The same as text: WriteFields(stream, '\n', kLeaveOutPrivate) is the record the
    // registration file carries.
    QString FieldsText(QChar separator, quint32 flags, const engine::FieldList* list = nullptr) const;
    // `value` for a line-separated form: each CR LF, CR or LF becomes one blank.
    static QString OneLine(const QString& value);
    // What a registration run sends: page fields, header record and stored values merged, a
    // later list winning, with blank values, derived fields and without private codes.
    engine::FieldList AssembleRecord() const;
    // The record written out and printed: the header packet read back, then the page fields
    // and the stored values over it, with blank values, derived fields and without private
    // codes.
    engine::FieldList CompleteRecord() const;
    // Every "_nil" value becomes empty.
    static void ClearNilValues(engine::FieldList& list);
    // ClearNilValues, then each empty value whose code has a blank value takes it.
    void ApplyBlankValues(engine::FieldList& list) const;
    // Each DERIVE text, field tags substituted, set under its code.
    void AddDerivedFields(engine::FieldList& list) const;
    // Takes every private code out.
    virtual void RemoveListedFields(engine::FieldList& list) const;
    // With an output order: the codes it names that the list lacks are added empty, and the
    // list is put in that order.
    virtual void ForEachListedField(engine::FieldList& list) const;

    // ---- Pages and navigation -------------------------------------------------------

    // Appends a page (kind 2: the method page); the pages after the first are hidden.
    // False, the page left to its caller, when the window holds kMaxPages already.
    bool AddPage(engine::QmRegPage* page, int kind) override;
    int GetPageCount() const { return pageCount_; }
    engine::QmRegPage* GetPage(int index) const;
    engine::QmRegPage* GetCurrentPage() const { return GetPage(currentPage_); }
    int GetCurrentPageIndex() const { return currentPage_; }
    int GetPreviousPageIndex() const { return previousPage_; }
    int FindPage(const engine::FourCC& code) const;
    // Clamps the index; collects and leaves the current page (a failure keeps it), fills the
    // new one from the initial values and the header record, and shows it. Events 0x8 on
    // the page left and 0x4 on the page shown.
    virtual void GoToPage(int index);
    // The page whose code is the name's first four characters; the first page when none.
    void GoToPageByName(const QString& name);
    // GoToPage(0).
    void ShowFirstPage() override;
    // The start page (the default one unless reminder mode or an external record picks
    // another, a positive `page` before all), after the start event 0x4 on the window;
    // shows the window unless kHiddenAtStart. Returns the start index.
    virtual int ShowStartPage(int page);
    // Whether this start goes on: REMIND (0) when a reminder is due, UNINSTALL (1) never,
    // after removing the engine; every other mode starts normally.
    virtual bool StartMode(int mode);
    // The REGSUCCESSPAGE: "QUIT" ends the program; else the page of that code, or the last
    // page for a code beginning with '?' or one that names no page.
    void GoToSuccessPage();
    // Command 2011: the current page's first RULE "NXTC <code> <a> <b>" moves to page a when
    // that control's value is not 0, else to page b.
    void GoToConditionalNextPage();
    // The current page's controls into the page fields (and the stored values), validating
    // them when asked. False when there is no page or a control refused.
    bool CollectPageFields(bool validate);
    // The page at `index` is left; every control of it is told. True.
    virtual bool LeavePage(int index);
    // Controls with flag 0x80000 show their hint with tags substituted.
    virtual void PreparePage();
    // The current page's control with the code shows `text` (with notification). On a first
    // showing (kFirstShowing) controls with flag 0x200, and with 0x8000 unless this product
    // was the last one saved, keep their value; a control below an element with flag 0x100
    // always does.
    virtual void SetControlValue(const engine::FourCC& code, const QString& text, quint32 flags);
    // A page element (not a page, not the window) with the code, or null.
    engine::QmWind* FindControl(const engine::FourCC& code);
    // Destroys the pages and forgets what belonged to them.
    void ClearPages();
    // The page script of `language` rebuilds the pages; the former page comes back.
    void ReloadForLanguage(const engine::LangCode& language);
    // Kind 1 swaps the two pages; any other kind is refused with a message box.
    virtual void Manipulate(int kind, const engine::FourCC& first, const engine::FourCC& second);
    // The name of string table "FLDN" for the code ("CODE:name"; the last entry wins), or an
    // empty text.
    QString GetFieldDisplayName(const engine::FourCC& code) const override;
    void SetTopMost(bool on);

    // ---- Commands -------------------------------------------------------------------

    // The command dispatcher: page moves, registration, reminders, links and the end of the
    // program, by command number.
    int OnNotify(engine::QmWind* source, int code, int value) override;
    // Dialog command ids: Cancel (2) runs the DEFAULTCANCELCMD command when one is set.
    void OnCommandRange(int id);
    // 2012 and 2013 stand for 2000 and 2001.
    virtual void OnNavCommand(int code);
    // Queued: the language of control "C-Lng" rebuilds the pages, then that combo gets
    // `index` back.
    void PostLanguageChange(int index);
    // AUTOLANGUAGE, queued: once per process the user's language rebuilds the pages unless
    // it is the current one.
    void PostAutoLanguage() override;
    void AddWebSite(const QString& site) override;
    // Hands a text to the desktop when it is an http, https or mailto address; anything
    // else is refused and traced.
    bool OpenInShell(const QString& text);

    // ---- Modem exchange -------------------------------------------------------------

    // A remote page command of the service's reply; its number (RemoteCommands.h).
    virtual int ExecuteRemoteCommand(const engine::RemoteRecord& record);
    // TCMD: the text runs as page script into the current page, confined to the keywords a
    // remote service may use, then the page is shown again.
    virtual void RunScriptText(const QString& text);
    // The modem run: dials, exchanges the record and carries out the reply.
    virtual bool RegisterByModem(const engine::FieldList& record);
    // A remote command moved the page during the exchange.
    bool IsRemoteMoved() const { return remoteMoved_; }
    void SetRemoteMoved(bool on) { remoteMoved_ = on; }
    bool IsExchangeFinished() const { return exchangeFinished_; }
    void SetExchangeFinished(bool on) { exchangeFinished_ = on; }
    bool GetUseX25() const { return useX25_; }
    void SetUseX25(bool on) { useX25_ = on; }
    // The modem run's peers, clock and status dialog.
    ModemRunOptions& GetModemOptions() { return *modemOptions_; }

    // ---- Script state ---------------------------------------------------------------

    engine::QmWind& Element() override { return *this; }
    void SetScriptReader(ScriptReader* reader) override;
    ScriptReader* GetScriptReader() const { return reader_; }
    void SetFlagsText(const QString& flags) override { flagsText_ = flags; }
    const QString& GetFlagsText() const { return flagsText_; }
    // The command line's field arguments as the launcher repeats them.
    void SetPassThroughText(const QString& text) { passThrough_ = text; }
    const QString& GetPassThroughText() const { return passThrough_; }
    engine::SerialNumberMaker& GetSerialNumberMaker() { return *serialMaker_; }
    // The times the serial number is made from; null: the system clock. The maker starts
    // again, as a new window's does.
    void SetSerialNumberClock(const engine::Clock* clock);
    // SERNUMCREATE: when the header's "snCR" is exactly one letter, the maker takes it as its
    // mode, "snPR" and "snSF" as its affixes, "snFL" as its registry value name and, for mode
    // T, `location` as its registry path, and makes the number, which the next page command
    // stores under `code`. Otherwise nothing is pending. A number made before is kept, so a
    // rerun of the script (a language change) does not replace it.
    void DefineSerialNumber(const engine::FourCC& code, const QString& location) override;
    // The code the made number is stored under.
    void SetSerialNumberCode(const engine::FourCC& code) { serialCode_ = code; }
    const engine::FourCC& GetSerialNumberCode() const { return serialCode_; }
    void SetSerialNumberPending(bool on) { serialPending_ = on; }
    bool IsSerialNumberPending() const { return serialPending_; }
    bool IsSameProduct() const { return sameProduct_; }
    void SetSameProduct(bool on) { sameProduct_ = on; }
    QChar GetLastStatus() const { return lastStatus_; }
    // The next command ends the program (after the thank-you page was opened).
    void SetQuitAfterThankYou(bool on) { quitAfterThankYou_ = on; }

    // PREFFILE: the prefs file of that name in the engine folder replaces the current one and
    // is read (LoadPrefs). Only a plain file name is taken: one holding a folder separator or
    // ".." is refused and traced, and the current file stays. False when refused.
    bool ReadPrefsFile(const QString& name) override;
    // The prefs file's global fields join the initial values, over what the script set. With
    // kKeepPrefs nothing is read.
    void LoadPrefs();
    // The prefs file read last, or null.
    engine::RegFile* GetPrefsFile() const { return prefs_.get(); }
    // The private-prefs text file named by the header "pvPR", in the engine folder: the
    // page fields the list names, or only "SRNM" without one. A name that would leave the
    // folder writes nothing.
    void SavePrivatePrefs(const engine::QmStringList* list = nullptr);

    // The registration runs, their status and prefs bookkeeping.
    RegistrationMethods& GetRegistration() { return *registration_; }
    // The constraint with exactly that name becomes required (or not); false when none.
    virtual bool EnableConstraint(const QString& name, bool on);
    virtual void OpenThankYouUrls();
    // The hex text of the GENUNIQUEREGID codes' page values under the GENUNIQUEREGKEY key.
    virtual QString EncodeFieldsHex();

    // Values the page script gives the window, read by the registration, reminder and update
    // runs.
    using Settings = RegWindSettings;
    Settings& GetSettings() override { return settings_; }
    const Settings& GetSettings() const { return settings_; }
    // The reminder and update runs, for their dialogs and clocks.
    Reminders& GetReminders() { return *reminders_; }
    ResourceUpdate& GetResourceUpdate() { return *update_; }

protected:
    // Steps of the registration, reminder and update runs, forwarded to the classes of
    // launcher/registration, launcher/reminders and launcher/update.
    virtual bool Register(const QString& method);
    virtual bool ScheduleReminder(bool fromFinalPage);
    virtual void SetReminder();
    virtual void DeleteReminder();
    virtual void WriteRegStatus(QChar letter);
    virtual void SavePrefs();
    virtual void AskOnlineUpdate();
    virtual void OnRegistered();
    // The first page was added: product headers, page set-up and a saved replacement
    // script, which throws RegWindLoadedUpdate.
    virtual void OnFirstPage();

    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

    bool validateOnForward_ = true;

private:
    // Walks a page's elements depth first, never below one with flag 0x100.
    bool CollectControls(engine::QmWind* element, bool validate, engine::FieldList& collected);
    void FillPageControls(const engine::FieldList& list, bool firstShowing);
    void PrepareControls(engine::QmWind* element);
    void FocusPage(engine::QmRegPage* page);
    // SubstituteFieldTags without URL-encoding, for derived fields.
    engine::RegRecordLists::FieldTagFiller DerivedTextFiller() const;
    void MoveWithoutValidation(int index);
    void QuitWithExitCode();
    void StoreMadeSerialNumber();
    void OnLanguageChange(int index);
    void OnAutoLanguage();

    engine::RegRecordLists record_;
    // Helpers are held by pointer so that this header need not include theirs. The
    // constructor makes them in member order.
    std::unique_ptr<RegistrationMethods> registration_;
    std::unique_ptr<Reminders> reminders_;
    std::unique_ptr<ResourceUpdate> update_;
    std::unique_ptr<engine::Packet> headerPacket_;
    std::array<engine::QmRegPage*, kMaxPages> pages_{};
    int pageCount_ = 0;
    int currentPage_ = -1;
    int previousPage_ = -1;
    QSet<const engine::QmRegPage*> shownPages_;
    engine::QmRegPage* methodPage_ = nullptr;
    ScriptReader* reader_ = nullptr;
    QString flagsText_;
    QString passThrough_;
    Settings settings_;
    std::unique_ptr<AppValues> appValues_;
    QHash<QString, QString> mapValues_;
    std::unique_ptr<engine::SerialNumberMaker> serialMaker_;
    engine::FourCC serialCode_;
    bool serialPending_ = false;
    // A number was made and is not stored yet. Kept apart from the maker's own made flag,
    // which must stay set once the number is stored, or every later page command would find
    // nothing made and refuse to move.
    bool serialMade_ = false;
    std::unique_ptr<engine::RegFile> prefs_;
    bool sameProduct_ = false;
    bool exchangeFinished_ = false;
    bool remoteMoved_ = false;
    bool useX25_ = false;
    std::unique_ptr<ModemRunOptions> modemOptions_;
    bool pagesReplaced_ = false;
    bool quitAfterThankYou_ = false;
    QChar lastStatus_;
    std::optional<QImage> background_;
    quint32 backgroundMode_ = 0;
    std::optional<quint32> pageColor_;
};

}  // namespace launcher
