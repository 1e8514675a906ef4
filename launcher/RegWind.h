#pragma once

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/ui/QmWind.h"

#include <QString>
#include <QWidget>

#include <array>

class QmBasicDialog;
class QmStrStream;
class ScriptReader;

// Thrown by AddPage when the first page hands the rest of the run over to a saved
// replacement script; the interpreter ends the current run at once.
struct RegWindLoadedUpdate {};

// The registration window: the top-level window that owns the pages and the field lists of
// the registration record, built by the page script's WIND line and filled by the rest of
// the script. It is hidden in this product; its start event runs the hand-off attachments.
class RegWind : public QWidget, public QmWind {
public:
    // The field lists, by the kind GetList takes.
    enum ListKind {
        PageFields = 0,
        HeaderRecord = 1,
        InitialValues = 2,
        StoredValues = 3,
        BlankValues = 4,
        ExternalFields = 5,
        DerivedFields = 6,
    };
    static constexpr int kListCount = 7;
    // A script must not add more pages than this; further pages are refused.
    static constexpr int kMaxPages = 20;

    // Window flags beyond the element flags.
    static constexpr quint32 kTopMost = 0x10000;
    static constexpr quint32 kHiddenAtStart = 0x20000;
    static constexpr quint32 kClientSize = 0x400000;

    // The WIND line after its keyword: code, x, y, width, height, hexadecimal flags and the
    // caption (the rest of the line; a table reference is resolved).
    explicit RegWind(QmStrStream& script);
    ~RegWind() override;

    // Null for a kind outside 0..6.
    FieldList* GetList(int kind);
    const FieldList* GetList(int kind) const;

    // SETFIELD 'U', SETHEADER 'H', SETINITIALVALUE 'P', SETBLANKVALUE 'B'; other letters do
    // nothing.
    void SetFieldByKind(QChar kind, const FourCC& code, const QString& text);
    // The code's value from page fields, header record and stored values, a later list
    // winning; empty when absent.
    virtual QString LookupField(const FourCC& code) const;
    // The header defaults written at the end of every script run: maker, product and the
    // engine's version codes.
    void InitHeaderRecord();
    // Opens the engine's registry key from MFGR, PROD, VERS and the REGKEY field's value,
    // when that value is not empty.
    void ReadProductHeaders();
    // GETCOMMANDLINEHEADERS: the command line's fields join the header record.
    virtual void MergeCommandLineFields(const FieldList& fields);
    // Field tags in a text replaced by their values; the text unchanged until tag
    // substitution is built.
    virtual QString SubstituteTags(const QString& text, bool urlEncode) const;

    // Appends a page (kind 2: the method page); the pages after the first are hidden.
    // False, the page left to its caller, when the window holds kMaxPages already.
    bool AddPage(QmBasicDialog* page, int kind);
    int GetPageCount() const { return pageCount_; }
    QmBasicDialog* GetPage(int index) const;
    int GetCurrentPageIndex() const { return currentPage_; }
    // Clamps the index, hides the current page (event 0x8 on it) and shows that one (event
    // 0x4 on it).
    virtual void GoToPage(int index);
    // GoToPage(0).
    virtual void ShowFirstPage();
    // The start page (the default one unless reminder mode or an external record picks
    // another, a positive `page` before all), after the start event 0x4 on the window;
    // shows the window unless kHiddenAtStart. Returns the start index.
    virtual int ShowStartPage(int page);
    // Whether this start goes on; the start mode picks reminders or uninstalling (0 and 1)
    // once those exist, every other mode starts normally.
    virtual bool StartMode(int mode);

    void SetScriptReader(ScriptReader* reader) { reader_ = reader; }
    ScriptReader* GetScriptReader() const { return reader_; }
    void SetFlagsText(const QString& flags) { flagsText_ = flags; }
    const QString& GetFlagsText() const { return flagsText_; }
    // The command line's field arguments as the launcher repeats them.
    void SetPassThroughText(const QString& text) { passThrough_ = text; }
    const QString& GetPassThroughText() const { return passThrough_; }

    // Values the page script gives the window, read by the registration, reminder and update
    // runs.
    struct Settings {
        QString webRegSite;                 // WEBREGSITE
        QString phones[2];                  // SETPHONES
        int reminderDialogId = 0;           // REMINDID; 0 means the standard dialog
        FourCC successPage;                 // REGSUCCESSPAGE
        QString ftpRedirect;                // FTPREDIRECTLOC
        int cancelCommand = 0;              // DEFAULTCANCELCMD; 0 = none
        quint32 cleanupFlags = 0;           // APPCLEANUP: S 1, N 2, R 4, P 8
        int startPages[3] = {-1, -1, -1};   // SETSTARTPAGES: default, reminder, other
        QString ipRedirect;                 // IPREDIRECTLOC
        QString rpcRedirect;                // RPCREDIRECTLOC
        int uniqueIdCount = 0;              // GENUNIQUEREGID
        QString uniqueIdCodes;
        QString keyText = QStringLiteral("qmvotrazelpinkuwsb");  // GENUNIQUEREGKEY
        QString reminderLink = QStringLiteral("<PRNM> Registration");  // REMINDLINK
        int reminderDays = 14;              // REMINDDAYS
        FourCC regKey = FourCC("PRNM");     // REGKEY
        int resourceUpdate = 0;             // RESUPDATE: A 1, F 2, N 0
        quint32 reminderFlags = 0;          // REMINDFLAGS
        FieldList outputOrder;              // OUTPUTORDER: codes with empty values
        QString backupMethod;               // BACKUPREGMETHOD
        bool externalStart = false;         // GETEXTERNALFIELDS found "=SRM" 1
        bool reminderMode = false;
    };
    Settings& GetSettings() { return settings_; }
    const Settings& GetSettings() const { return settings_; }

protected:
    bool validateOnForward_ = true;

private:
    std::array<FieldList, kListCount> lists_;
    std::array<QmBasicDialog*, kMaxPages> pages_{};
    int pageCount_ = 0;
    int currentPage_ = -1;
    int previousPage_ = -1;
    QmBasicDialog* methodPage_ = nullptr;
    ScriptReader* reader_ = nullptr;
    QString flagsText_;
    QString passThrough_;
    Settings settings_;
};
