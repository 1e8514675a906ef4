#include "launcher/script/ScriptReader.h"

#include "launcher/app/TextResource.h"
#include "launcher/script/KeywordHandlers.h"

#include "regengine/core/Constraint.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QFile>

using namespace engine;

namespace launcher {

namespace {

// clang-format off
constexpr QStringView kKeywords[ScriptReader::KeywordCount] = {
    u"LIST", u"FONT", u"WIND", u"PAGE", u"METHODPAGE", u"MODEMPAGE", u"USEFONT", u"CAPTION", u"CHECKBOX",
    u"RADIOBUTTON", u"PUSHBUTTON", u"GRAPHIC", u"HOVERBUTTON", u"TOGGLEBUTTON", u"BASICGROUP", u"CHECKGROUP",
    u"GROUP", u"MULTIGROUP", u"ENDGROUP", u"EDIT", u"POPUP", u"SETFIELD", u"SETHEADER", u"SETINITIALVALUE",
    u"RULE", u"SERNUMCREATE", u"SETPHONES", u"CONSTRAINT", u"SETCONSTRAINT", u"WEBREGSITE", u"USELIST",
    u"COMBO", u"COUNTRYDIALER", u"DATAHOLDER", u"STRINGTABLE", u"DEFAULTFLAG", u"SKIP", u"ENDSKIP",
    u"REMINDID", u"CLEARBUTTON", u"HORIZRULE", u"SETMAIL", u"CMNT", u"BOX", u"GETCOMMANDLINEHEADERS",
    u"REGSUCCESSPAGE", u"SETFONTCOLOR", u"FTPREDIRECTLOC", u"DEFAULTCANCELCMD", u"INCLUDE", u"SETFONTWEIGHT",
    u"MASKEDIT", u"MASK", u"SYSTEMINFO", u"DATEFIELD", u"MFGRCONSTRAINT", u"GETREGISTRY", u"DOLISTSUBS",
    u"APPCLEANUP", u"SYSPARAMETER", u"SETBLANKVALUE", u"GETEXTERNALFIELDS", u"SETSTARTPAGES", u"IPREDIRECTLOC",
    u"RPCREDIRECTLOC", u"GENUNIQUEREGID", u"GENUNIQUEREGKEY", u"DERIVE", u"SUBCAPTION", u"AUTOLANGUAGE",
    u"SETCONSTRAINTTRIES", u"PREFFILE", u"REMINDLINK", u"REMINDDAYS", u"REGKEY", u"RESUPDATE", u"HYPERLINK",
    u"REMINDFLAGS", u"WMIQUERY", u"ATTACHMENT", u"ATTACH", u"ACCESSIBILITY", u"SETERRORHANDLER", u"OUTPUTORDER",
    u"WEBVIEW", u"GRAPHICBUTTON", u"SETPAGEBACKGROUND", u"SETPAGECOLOR", u"BACKUPREGMETHOD", u"LISTFROMINI",
    u"FIELDFROMINI", u"END",
};
// clang-format on

struct PageBackground {
    QString name;
    quint32 mode = 0;
};

PageBackground& pageBackground()
{
    static PageBackground background;
    return background;
}

QString keywordName(int keyword)
{
    return ScriptReader::KeywordText(keyword).toString();
}

}  // namespace

QStringView ScriptReader::KeywordText(int index)
{
    return index >= 0 && index < KeywordCount ? kKeywords[index] : QStringView();
}

int ScriptReader::FindScriptKeyword(QStringView word)
{
    return FindKeyword(kKeywords, KeywordCount, word);
}

ScriptReader::ScriptReader(std::unique_ptr<QmStrStream> stream, const QString& flags, const LangCode& language)
    : ownedStream_(std::move(stream)), flags_(flags), language_(language)
{
    stream_ = ownedStream_.get();
    QmRect::SetRelativeMode(true);
    InstallHandlers();
}

ScriptReader::~ScriptReader()
{
    // The window goes before the lists, tables and constraints its elements may still name.
    window_.reset();
    Constraint::DeleteAll();
}

void ScriptReader::InstallHandlers()
{
    auto member = [](void (ScriptReader::*handler)()) {
        return [handler](ScriptReader& reader) { (reader.*handler)(); };
    };
    handlers_[WIND] = member(&ScriptReader::OnWind);
    handlers_[SKIP] = member(&ScriptReader::OnSkip);
    handlers_[INCLUDE] = member(&ScriptReader::OnInclude);
    handlers_[END] = member(&ScriptReader::EndRun);
    // ENDSKIP only counts while skipping; CMNT, USELIST and WEBVIEW are ignored.
    InstallDataSourceHandlers(*this);
    InstallWindowSettingHandlers(*this);
    InstallPageHandlers(*this);
    InstallElementHandlers(*this);
    InstallAttachmentHandlers(*this);
    InstallConstraintHandlers(*this);
    InstallFontHandlers(*this);
    InstallGroupHandlers(*this);
    InstallTextControlHandlers(*this);
    InstallButtonHandlers(*this);
    InstallChoiceControlHandlers(*this);
    InstallModemHandlers(*this);
    InstallSystemHandlers(*this);
}

void ScriptReader::SetKeywordHandler(int index, KeywordHandler handler)
{
    if (index >= 0 && index < KeywordCount)
        handlers_[size_t(index)] = std::move(handler);
}

QString ScriptReader::ProgramFolder() const
{
    return programFolder_.isEmpty() ? platform::moduleDirectory() : programFolder_;
}

int ScriptReader::Run(QmStrStream* stream)
{
    // A stream given here is the caller's and lives only as long as the call, so the
    // reader goes back to its own afterwards.
    struct Restore {
        ScriptReader* reader;
        RunState* run;
        QmStrStream* stream;
        ~Restore()
        {
            reader->run_ = run;
            reader->stream_ = stream;
        }
    } restore{this, run_, stream_};
    if (stream != nullptr)
        stream_ = stream;
    if (stream_ == nullptr)
        return 0;
    RunState state;
    run_ = &state;

    while (!state.end) {
        QmStrStream& s = *stream_;
        if (s.atEnd())
            break;
        // A handler whose argument was missing leaves the stream failed; the next line
        // must still be read.
        if (!s.good())
            s.clear();
        s.ignore(-1, u'>');
        if (s.eof() || s.fail())
            break;
        QString token = ReadScriptToken(s);
        qsizetype marks = 0;
        while (marks < token.size() && token[marks] == u'>')
            ++marks;
        token.remove(0, marks);
        const int keyword = FindScriptKeyword(token);
        if (state.skipDepth != 0) {
            if (keyword == SKIP)
                ++state.skipDepth;
            else if (keyword == ENDSKIP)
                --state.skipDepth;
            continue;
        }
        if (keyword >= 0 && confinedTo_ && !confinedTo_(keyword)) {
            EngineTrace(QStringLiteral("Script text may not use ") + KeywordText(keyword).toString());
            continue;
        }
        if (keyword >= 0 && handlers_[size_t(keyword)])
            handlers_[size_t(keyword)](*this);
    }
    Finish();
    return 0;
}

int ScriptReader::RunConfined(QmStrStream& stream, KeywordFilter allowed)
{
    // Runs like an include, so the window keeps its page; an INCLUDE inside stays confined.
    struct Restore {
        ScriptReader* reader;
        KeywordFilter filter;
        ~Restore()
        {
            --reader->includeDepth_;
            reader->confinedTo_ = std::move(filter);
        }
    } restore{this, confinedTo_};
    ++includeDepth_;
    if (!confinedTo_)
        confinedTo_ = std::move(allowed);
    return Run(&stream);
}

void ScriptReader::Finish()
{
    if (!window_)
        return;
    window_->InitHeaderRecord();
    if (includeDepth_ == 0)
        window_->ShowFirstPage();
}

void ScriptReader::EndRun()
{
    if (run_ != nullptr)
        run_->end = true;
}

bool ScriptReader::TakeFirstControlAfterPage()
{
    if (run_ == nullptr || !run_->firstControlAfterPage)
        return false;
    run_->firstControlAfterPage = false;
    return true;
}

void ScriptReader::Reset()
{
    stream_ = nullptr;
    currentPage_ = nullptr;
    currentModemPage_ = nullptr;
    currentFont_ = nullptr;
    // A rerun rebuilds the pages, so nothing of the old ones may stay current.
    currentParent_ = windowElement();
    groups_.clear();
    QmRect::SetRelativeMode(true);
    lists_.clear();
    StringTableMgr::Instance().RemoveAll();
}

bool ScriptReader::RunResource(const LangCode& language)
{
    Reset();
    const std::optional<QString> text = LoadPageScript(language, module_);
    if (!text) {
        ReportNoPageScript();
        platform::postQuit(1);
        return false;
    }
    language_ = language;
    ownedStream_ = std::make_unique<QmStrStream>(*text);
    stream_ = ownedStream_.get();
    Run();
    return true;
}

std::optional<QString> ScriptReader::LoadPageScript(const LangCode& language, const QString& module)
{
    return LoadTextResource(module, QStringLiteral("PAGES"), language);
}

void ScriptReader::ReportNoPageScript()
{
    platform::messageBox(QStringLiteral("Error Starting No Data File"), QStringLiteral("Error"), platform::mb::Ok);
}

void ScriptReader::Include(const QString& fileName)
{
    if (!platform::isPlainFileName(fileName)) {
        EngineTrace(
            platform::formatText(QStringLiteral("INCLUDE %s refused: not a file of the program's folder"), fileName));
        return;
    }
    // A file that includes itself, directly or not, would otherwise recurse until the stack
    // runs out.
    constexpr int kMaxIncludeDepth = 16;
    if (includeDepth_ >= kMaxIncludeDepth) {
        EngineTrace(platform::formatText(QStringLiteral("INCLUDE %s refused: includes nested too deep"), fileName));
        return;
    }
    QFile file(ProgramFolder() + u'/' + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        EngineTrace(
            platform::formatText(QStringLiteral("INCLUDE %s skipped: %s"), file.fileName(), file.errorString()));
        return;
    }
    // 8-bit text, one character per byte.
    QmStrStream included(QString::fromLatin1(file.readAll()));
    ++includeDepth_;
    struct Restore {
        ScriptReader* reader;
        ~Restore() { --reader->includeDepth_; }
    } restore{this};
    Run(&included);
}

QmStringList* ScriptReader::FindList(const QString& name) const
{
    for (const auto& list : lists_) {
        if (list->GetName() == name)
            return list.get();
    }
    return nullptr;
}

QmStringList* ScriptReader::AddList(std::unique_ptr<QmStringList> list)
{
    lists_.push_back(std::move(list));
    return lists_.back().get();
}

QmBasicDialog* ScriptReader::SetCurrentPage(QmBasicDialog* page)
{
    QmBasicDialog* const previous = currentPage_;
    currentPage_ = page;
    currentParent_ = page != nullptr ? static_cast<QmWind*>(page) : windowElement();
    groups_.clear();
    return previous;
}

void ScriptReader::BeginPage(QmBasicDialog* page)
{
    if (!groups_.empty())
        EngineTrace(QStringLiteral("PAGE closes groups that had no ENDGROUP"));
    groups_.clear();
    currentPage_ = page;
    currentParent_ = page;
    if (run_ != nullptr)
        run_->firstControlAfterPage = true;
}

void ScriptReader::OpenGroup(QmBasicWindow* group)
{
    if (group == nullptr)
        return;
    groups_.push_back(group);
    currentParent_ = group;
}

void ScriptReader::CloseGroup()
{
    if (groups_.empty()) {
        EngineTrace(QStringLiteral("ENDGROUP without an open group"));
        return;
    }
    QmBasicWindow* const group = groups_.back();
    groups_.pop_back();
    group->CloseGroup();
    if (QmWind* parent = group->GetParent())
        currentParent_ = parent;
    else
        currentParent_ = currentPage_ != nullptr ? static_cast<QmWind*>(currentPage_) : windowElement();
}

QString ScriptReader::PageBackgroundName()
{
    return pageBackground().name;
}

quint32 ScriptReader::PageBackgroundMode()
{
    return pageBackground().mode;
}

void ScriptReader::SetPageBackground(const QString& name, quint32 mode)
{
    PageBackground& background = pageBackground();
    background.name = name;
    background.mode = mode;
}

QmWind* ScriptReader::windowElement() const
{
    return window_ ? &window_->Element() : nullptr;
}

ScriptTarget* ScriptReader::RequireWindow(int keyword) const
{
    if (!window_)
        EngineTrace(platform::formatText(QStringLiteral("%s before WIND: skipped"), keywordName(keyword)));
    return window_.get();
}

QString ScriptReader::ReadRestOfLine(qsizetype n)
{
    QmStrStream& s = *stream_;
    if (s.previous() == u'\n')
        return {};
    SkipLineBlanks(s);
    QString line;
    ReadScriptLine(s, line, n);
    return line;
}

void ScriptReader::DropRestOfLine(qsizetype n)
{
    ReadRestOfLine(n);
}

// ---- The reader's own keywords --------------------------------------------------------

void ScriptReader::OnWind()
{
    if (window_)
        return;
    window_ = factory_ ? factory_(*stream_) : CreateRegWind(*stream_);
    if (!window_)
        return;
    window_->SetScriptReader(this);
    window_->SetFlagsText(flags_);
    currentParent_ = &window_->Element();
}

void ScriptReader::OnSkip()
{
    if (run_ != nullptr)
        run_->skipDepth = 1;
}

void ScriptReader::OnInclude()
{
    const QString name = ReadScriptToken(*stream_);
    Include(name);
    DropRestOfLine(ScriptLineLimit::kDroppedShort);
}

}  // namespace launcher
