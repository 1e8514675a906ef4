#pragma once

#include "launcher/script/ScriptTarget.h"

#include "regengine/core/LangCode.h"
#include "regengine/core/QmStringList.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace engine {
class FieldList;
class QmBasicDialog;
class QmBasicWindow;
class QmFont;
class QmStrStream;
class QmWind;
}  // namespace engine

namespace launcher {

// Named only as the class GetWindow gives by default; the reader never uses it.
class RegWind;

// The page-script interpreter. A script is a text of keyword lines, ">KEYWORD arguments";
// the reader finds each keyword (exactly, in upper case), lets its handler read what it
// needs from the stream and skips the rest of the line. It builds the registration window
// (WIND), its pages and elements, string tables, lists and attachments.
//
// Every keyword has a slot in one dispatch table. The reader fills the slots of its own
// flow (WIND, SKIP, INCLUDE, END); the handlers of each kind of keyword sit in a file of
// their own, which installs them (KeywordHandlers.h). Keywords of elements that are not
// built yet have an empty slot and are ignored like unknown ones; their handlers join the
// table with their classes. The handlers reach the window only as a ScriptTarget.
class ScriptReader {
public:
    // Index order is the keyword table's order.
    // clang-format off
    enum Keyword {
        LIST, FONT, WIND, PAGE, METHODPAGE, MODEMPAGE, USEFONT, CAPTION, CHECKBOX, RADIOBUTTON,
        PUSHBUTTON, GRAPHIC, HOVERBUTTON, TOGGLEBUTTON, BASICGROUP, CHECKGROUP, GROUP, MULTIGROUP,
        ENDGROUP, EDIT, POPUP, SETFIELD, SETHEADER, SETINITIALVALUE, RULE, SERNUMCREATE, SETPHONES,
        CONSTRAINT, SETCONSTRAINT, WEBREGSITE, USELIST, COMBO, COUNTRYDIALER, DATAHOLDER,
        STRINGTABLE, DEFAULTFLAG, SKIP, ENDSKIP, REMINDID, CLEARBUTTON, HORIZRULE, SETMAIL, CMNT,
        BOX, GETCOMMANDLINEHEADERS, REGSUCCESSPAGE, SETFONTCOLOR, FTPREDIRECTLOC, DEFAULTCANCELCMD,
        INCLUDE, SETFONTWEIGHT, MASKEDIT, MASK, SYSTEMINFO, DATEFIELD, MFGRCONSTRAINT, GETREGISTRY,
        DOLISTSUBS, APPCLEANUP, SYSPARAMETER, SETBLANKVALUE, GETEXTERNALFIELDS, SETSTARTPAGES,
        IPREDIRECTLOC, RPCREDIRECTLOC, GENUNIQUEREGID, GENUNIQUEREGKEY, DERIVE, SUBCAPTION,
        AUTOLANGUAGE, SETCONSTRAINTTRIES, PREFFILE, REMINDLINK, REMINDDAYS, REGKEY, RESUPDATE,
        HYPERLINK, REMINDFLAGS, WMIQUERY, ATTACHMENT, ATTACH, ACCESSIBILITY, SETERRORHANDLER,
        OUTPUTORDER, WEBVIEW, GRAPHICBUTTON, SETPAGEBACKGROUND, SETPAGECOLOR, BACKUPREGMETHOD,
        LISTFROMINI, FIELDFROMINI, END,
        KeywordCount
    };
    // clang-format on

    // Makes the window from the WIND line; any callable whose window converts to a
    // ScriptTarget will do.
    using WindowFactory = std::function<std::unique_ptr<ScriptTarget>(engine::QmStrStream& script)>;
    using KeywordHandler = std::function<void(ScriptReader&)>;
    using KeywordFilter = std::function<bool(int keyword)>;

    // The keyword's text, or an empty view outside the table.
    static QStringView KeywordText(int index);
    // The index of exactly that keyword, or -1.
    static int FindScriptKeyword(QStringView word);

    // `stream` (may be null until Run or RunResource gives one) is owned by the reader.
    ScriptReader(std::unique_ptr<engine::QmStrStream> stream, const QString& flags, const engine::LangCode& language);
    ~ScriptReader();
    ScriptReader(const ScriptReader&) = delete;
    ScriptReader& operator=(const ScriptReader&) = delete;

    // Null: WIND makes a plain RegWind (CreateRegWind).
    void SetWindowFactory(WindowFactory factory) { factory_ = std::move(factory); }
    // The command line's fields (not owned), merged by GETCOMMANDLINEHEADERS.
    void SetCommandLineFields(const engine::FieldList* fields) { commandLineFields_ = fields; }
    // The command line's SSI_SN_LOCATION: the registry path a serial number of mode T reads.
    void SetSerialNumberLocation(const QString& location) { serialLocation_ = location; }
    const QString& GetSerialNumberLocation() const { return serialLocation_; }
    // Where RunResource looks the script up; "launcher" unless set.
    void SetResourceModule(const QString& module) { module_ = module; }
    // The window the script built (owned by the reader), or null before WIND.
    ScriptTarget* GetScriptTarget() const { return window_.get(); }
    // The same as the class it was made as, a RegWind unless asked for another, for the
    // application and tests; null when it is not one. The cast is made where the class is
    // known, so the reader itself needs nothing of RegWind.
    template <typename Window = RegWind>
    Window* GetWindow() const
    {
        return dynamic_cast<Window*>(window_.get());
    }
    const engine::LangCode& GetLanguage() const { return language_; }

    // Interprets the stream (`stream`, when given, is read in place of the current one for
    // this run; it is not owned) to END or the end of the text, then finishes: the window
    // fixes its header record and, unless the run is an INCLUDE, shows its first page.
    // Returns 0.
    int Run(engine::QmStrStream* stream = nullptr);
    // Runs text from outside the program (a remote command) into the current state: only
    // the keywords `allowed` passes are carried out, the others are traced and skipped. The
    // window's first page is not shown afterwards. Returns 0.
    int RunConfined(engine::QmStrStream& stream, KeywordFilter allowed);
    // Reset, then the page script of `language` (the window's language change). Without
    // one the error box is shown and the program is asked to end with exit code 1; false.
    bool RunResource(const engine::LangCode& language);
    // Runs a script file from the launcher's folder inside the current run. A name holding
    // "/" or ".." is refused, so an include cannot reach outside that folder.
    void Include(const QString& fileName);
    // The reader's list of exactly that name, or null.
    engine::QmStringList* FindList(const QString& name) const;
    // Makes `page` the current page and parent; null makes the window the current parent.
    // Returns the previous current page.
    engine::QmBasicDialog* SetCurrentPage(engine::QmBasicDialog* page);

    // The TEXT resource "PAGES" + language, by the three-step lookup.
    static std::optional<QString> LoadPageScript(const engine::LangCode& language, const QString& module);
    // "Error Starting No Data File".
    static void ReportNoPageScript();

    // ---- For keyword handlers ---------------------------------------------------------

    engine::QmStrStream& Stream() { return *stream_; }
    // The window for a keyword that needs one; traced when there is none yet.
    ScriptTarget* RequireWindow(int keyword) const;
    // The rest of the line (at most n - 1 characters), blanks before it skipped.
    QString ReadRestOfLine(qsizetype n);
    void DropRestOfLine(qsizetype n);
    engine::QmWind* CurrentParent() const { return currentParent_; }
    engine::QmBasicDialog* CurrentPage() const { return currentPage_; }
    const engine::QmFont* CurrentFont() const { return currentFont_; }
    // FONT and USEFONT; null leaves the controls that follow with their own font.
    void SetCurrentFont(const engine::QmFont* font) { currentFont_ = font; }
    // A page keyword's page, added to the window, becomes the current page and parent;
    // groups left open are closed, and the next EDIT or MASKEDIT is the first after a page.
    void BeginPage(engine::QmBasicDialog* page);
    // MODEMPAGE's page; other page keywords leave it.
    void SetCurrentModemPage(engine::QmBasicDialog* page) { currentModemPage_ = page; }
    engine::QmBasicDialog* CurrentModemPage() const { return currentModemPage_; }
    // A group keyword's new group becomes the current parent and the innermost open group;
    // ENDGROUP closes the innermost one, so groups nest.
    void OpenGroup(engine::QmBasicWindow* group);
    engine::QmBasicWindow* CurrentGroup() const { return groups_.empty() ? nullptr : groups_.back(); }
    int OpenGroupCount() const { return int(groups_.size()); }
    // ENDGROUP: the innermost open group ends its definition and its parent becomes the
    // current parent; traced when no group is open.
    void CloseGroup();
    // True for the first EDIT or MASKEDIT after a page keyword, once.
    bool TakeFirstControlAfterPage();
    // Stops the run being read after the current keyword.
    void EndRun();
    // Keeps a list for the rest of the reader's life; returns it.
    engine::QmStringList* AddList(std::unique_ptr<engine::QmStringList> list);
    const engine::FieldList* GetCommandLineFields() const { return commandLineFields_; }
    const QString& GetResourceModule() const { return module_; }
    // Replaces the handler of a keyword; an empty one makes the keyword ignored.
    void SetKeywordHandler(int index, KeywordHandler handler);
    // The folder INCLUDE files and relative INI names are taken from; the launcher's own
    // folder unless set.
    void SetProgramFolder(const QString& folder) { programFolder_ = folder; }
    QString ProgramFolder() const;

    // SETPAGECOLOR: the colour of pages created afterwards, red in the low byte; none when
    // cleared.
    std::optional<quint32> GetPageColor() const { return pageColor_; }
    void SetPageColor(std::optional<quint32> color) { pageColor_ = color; }
    // SETPAGEBACKGROUND: process-wide, kept across runs and readers.
    static QString PageBackgroundName();
    static quint32 PageBackgroundMode();
    static void SetPageBackground(const QString& name, quint32 mode);

private:
    struct RunState {
        int skipDepth = 0;
        bool firstControlAfterPage = false;
        bool end = false;
    };

    void InstallHandlers();
    void Reset();
    void Finish();
    // The window as the parent of pages and controls; null before WIND.
    engine::QmWind* windowElement() const;

    // The reader's own keywords: the window, skipping, including and the end.
    void OnWind();
    void OnSkip();
    void OnInclude();

    std::unique_ptr<engine::QmStrStream> ownedStream_;
    engine::QmStrStream* stream_ = nullptr;
    std::unique_ptr<ScriptTarget> window_;
    engine::QmWind* currentParent_ = nullptr;
    engine::QmBasicDialog* currentPage_ = nullptr;
    std::vector<std::unique_ptr<engine::QmStringList>> lists_;
    engine::QmBasicDialog* currentModemPage_ = nullptr;
    const engine::QmFont* currentFont_ = nullptr;
    std::vector<engine::QmBasicWindow*> groups_;
    WindowFactory factory_;
    const engine::FieldList* commandLineFields_ = nullptr;
    QString serialLocation_;
    QString flags_;
    engine::LangCode language_;
    int includeDepth_ = 0;  // INCLUDEs now running; 0 in the outermost run
    QString module_ = QStringLiteral("launcher");
    QString programFolder_;
    std::optional<quint32> pageColor_;
    RunState* run_ = nullptr;
    KeywordFilter confinedTo_;
    std::array<KeywordHandler, KeywordCount> handlers_;
};

}  // namespace launcher
