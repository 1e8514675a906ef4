#include "launcher/script/ScriptReader.h"

#include "launcher/window/RegWind.h"
#include "launcher/app/TextResource.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/WMIQuery.h"
#include "regengine/ui/element/QmBasicDialog.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/pages/QmRegPage.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/element/ScreenInfo.h"

#include "platform/inifile/IniFile.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

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

// The lengths the keyword lines are read to.
constexpr qsizetype kDroppedShort = 100;
constexpr qsizetype kDroppedLong = 200;
constexpr qsizetype kMailAddressLimit = 200;
constexpr qsizetype kRegistryPathLimit = 256;
constexpr qsizetype kReminderLinkLimit = 260;
constexpr qsizetype kRestOfLineLimit = 1024;
constexpr qsizetype kRuleLimit = 101;

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
    // The window goes before the lists and tables its elements may still name.
    window_.reset();
}

void ScriptReader::InstallHandlers()
{
    auto member = [](void (ScriptReader::*handler)()) {
        return [handler](ScriptReader& reader) { (reader.*handler)(); };
    };
    auto kind = [](int keyword, QChar letter) {
        return [keyword, letter](ScriptReader& reader) { reader.OnValueOfKind(keyword, letter); };
    };
    auto setting = [](int keyword) { return [keyword](ScriptReader& reader) { reader.OnWindowSetting(keyword); }; };

    handlers_[LIST] = member(&ScriptReader::OnList);
    handlers_[WIND] = member(&ScriptReader::OnWind);
    handlers_[PAGE] = member(&ScriptReader::OnPage);
    handlers_[ENDGROUP] = member(&ScriptReader::OnEndGroup);
    handlers_[SETFIELD] = kind(SETFIELD, u'U');
    handlers_[SETHEADER] = kind(SETHEADER, u'H');
    handlers_[SETINITIALVALUE] = kind(SETINITIALVALUE, u'P');
    handlers_[SETBLANKVALUE] = kind(SETBLANKVALUE, u'B');
    handlers_[STRINGTABLE] = member(&ScriptReader::OnStringTable);
    handlers_[DEFAULTFLAG] = member(&ScriptReader::OnDefaultFlag);
    handlers_[SKIP] = member(&ScriptReader::OnSkip);
    handlers_[END] = member(&ScriptReader::OnEnd);
    handlers_[INCLUDE] = member(&ScriptReader::OnInclude);
    handlers_[GETCOMMANDLINEHEADERS] = member(&ScriptReader::OnGetCommandLineHeaders);
    handlers_[ATTACHMENT] = member(&ScriptReader::OnAttachment);
    handlers_[ATTACH] = member(&ScriptReader::OnAttach);
    handlers_[ACCESSIBILITY] = member(&ScriptReader::OnAccessibility);
    handlers_[GETREGISTRY] = member(&ScriptReader::OnGetRegistry);
    handlers_[GETEXTERNALFIELDS] = member(&ScriptReader::OnGetExternalFields);
    handlers_[LISTFROMINI] = member(&ScriptReader::OnListFromIni);
    handlers_[FIELDFROMINI] = member(&ScriptReader::OnFieldFromIni);
    handlers_[SETPAGECOLOR] = member(&ScriptReader::OnSetPageColor);
    handlers_[SETPAGEBACKGROUND] = member(&ScriptReader::OnSetPageBackground);
    handlers_[WMIQUERY] = member(&ScriptReader::OnWmiQuery);
    handlers_[RULE] = member(&ScriptReader::OnRule);
    handlers_[SETERRORHANDLER] = member(&ScriptReader::OnSetErrorHandler);
    handlers_[DOLISTSUBS] = member(&ScriptReader::OnDoListSubs);
    handlers_[AUTOLANGUAGE] = member(&ScriptReader::OnAutoLanguage);
    handlers_[SERNUMCREATE] = member(&ScriptReader::OnSerNumCreate);
    for (const int keyword :
         {SETPHONES, WEBREGSITE, REMINDID, REGSUCCESSPAGE, FTPREDIRECTLOC, DEFAULTCANCELCMD, APPCLEANUP, SETSTARTPAGES,
          IPREDIRECTLOC, RPCREDIRECTLOC, GENUNIQUEREGID, GENUNIQUEREGKEY, DERIVE, REMINDLINK, REMINDDAYS, REGKEY,
          RESUPDATE, REMINDFLAGS, OUTPUTORDER, BACKUPREGMETHOD, SETMAIL, PREFFILE})
        handlers_[size_t(keyword)] = setting(keyword);
    // ENDSKIP only counts while skipping; CMNT, USELIST and WEBVIEW are ignored.
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
        if (keyword >= 0 && handlers_[size_t(keyword)])
            handlers_[size_t(keyword)](*this);
    }
    Finish();
    return 0;
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
    currentParent_ = window_.get();
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
        EngineTrace(platform::formatText(QStringLiteral("INCLUDE %s refused: not a file of the program's folder"),
                                         fileName));
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
        EngineTrace(platform::formatText(QStringLiteral("INCLUDE %s skipped: %s"), file.fileName(),
                                         file.errorString()));
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

QmBasicDialog* ScriptReader::SetCurrentPage(QmBasicDialog* page)
{
    QmBasicDialog* const previous = currentPage_;
    currentPage_ = page;
    currentParent_ = page != nullptr ? static_cast<QmWind*>(page) : static_cast<QmWind*>(window_.get());
    groups_.clear();
    return previous;
}

void ScriptReader::OpenGroup(QmBasicWindow* group)
{
    if (group == nullptr)
        return;
    groups_.push_back(group);
    currentParent_ = group;
}

QString ScriptReader::PageBackgroundName()
{
    return pageBackground().name;
}

quint32 ScriptReader::PageBackgroundMode()
{
    return pageBackground().mode;
}

RegWind* ScriptReader::RequireWindow(int keyword) const
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

// ---- Keyword handlers ----------------------------------------------------------------

void ScriptReader::OnList()
{
    lists_.push_back(std::make_unique<QmStringList>(*stream_));
}

void ScriptReader::OnWind()
{
    if (window_)
        return;
    window_ = factory_ != nullptr ? factory_(*stream_) : std::make_unique<RegWind>(*stream_);
    if (!window_)
        return;
    window_->SetScriptReader(this);
    window_->SetFlagsText(flags_);
    currentParent_ = window_.get();
}

void ScriptReader::OnPage()
{
    RegWind* window = RequireWindow(PAGE);
    if (window == nullptr)
        return;
    // Owned by the window as its child element from here on.
    QmRegPage::Background background;
    background.bitmapName = PageBackgroundName();
    background.mode = PageBackgroundMode();
    background.color = pageColor_;
    background.module = module_;
    auto* page = new QmRegPage(*stream_, window, background);
    bool added = false;
    try {
        added = window->AddPage(page, 0);
    } catch (const RegWindLoadedUpdate&) {
        EndRun();
        return;
    }
    if (!added) {
        delete page;
        return;
    }
    if (!groups_.empty())
        EngineTrace(QStringLiteral("PAGE closes groups that had no ENDGROUP"));
    groups_.clear();
    currentPage_ = page;
    currentParent_ = page;
    if (run_ != nullptr)
        run_->firstControlAfterPage = true;
}

void ScriptReader::OnRule()
{
    auto* page = dynamic_cast<QmRegPage*>(currentPage_);
    const QString text = ReadRestOfLine(kRuleLimit);
    if (page == nullptr) {
        EngineTrace(QStringLiteral("RULE without a page: skipped"));
        return;
    }
    page->AddListText(text);
}

void ScriptReader::OnSetErrorHandler()
{
    const FourCC code(*stream_);
    const QString word = ReadScriptToken(*stream_);
    if (auto* page = dynamic_cast<QmRegPage*>(currentPage_))
        page->SetErrorHandler(code, word.isEmpty() ? QChar() : word[0]);
}

void ScriptReader::OnDoListSubs()
{
    const QString name = ReadScriptToken(*stream_);
    if (RegWind* window = RequireWindow(DOLISTSUBS))
        window->ExpandListText(name);
}

void ScriptReader::OnAutoLanguage()
{
    if (RegWind* window = RequireWindow(AUTOLANGUAGE))
        window->PostAutoLanguage();
}

void ScriptReader::OnEndGroup()
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
        currentParent_ = currentPage_ != nullptr ? static_cast<QmWind*>(currentPage_) : window_.get();
}

void ScriptReader::OnValueOfKind(int keyword, QChar kind)
{
    RegWind* window = RequireWindow(keyword);
    if (window == nullptr)
        return;
    const FourCC code(*stream_);
    QString text = ReadStringFromScript(*stream_).trimmed();
    if (text == u"_")
        text.clear();
    if (!text.isEmpty())
        window->SetFieldByKind(kind, code, text);
}

void ScriptReader::OnStringTable()
{
    QmStringTable::CreateFromScript(*stream_);
}

void ScriptReader::OnDefaultFlag()
{
    quint32 flags = 0;
    if (stream_->readHex(flags))
        QmWind::SetDefaultFlags(flags);
    DropRestOfLine(kDroppedShort);
}

void ScriptReader::OnSkip()
{
    if (run_ != nullptr)
        run_->skipDepth = 1;
}

void ScriptReader::OnEnd()
{
    EndRun();
}

void ScriptReader::OnInclude()
{
    const QString name = ReadScriptToken(*stream_);
    Include(name);
    DropRestOfLine(kDroppedShort);
}

void ScriptReader::OnGetCommandLineHeaders()
{
    RegWind* window = RequireWindow(GETCOMMANDLINEHEADERS);
    if (window != nullptr && commandLineFields_ != nullptr)
        window->MergeCommandLineFields(*commandLineFields_);
}

void ScriptReader::OnAttachment()
{
    QmStrStream& s = *stream_;
    const qsizetype at = s.pos();
    const QString name = ReadScriptToken(s);
    const QString type = ReadScriptToken(s);
    s.seek(at);
    if (Attachment::CreateFromScript(s) == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("Attachment %s: no attachment type %s"), name, type));
}

void ScriptReader::OnAttach()
{
    QmStrStream& s = *stream_;
    const QString target = ReadScriptToken(s);
    const QString name = ReadScriptToken(s);
    quint32 mask = 0;
    s.readHex(mask);
    RegWind* window = RequireWindow(ATTACH);
    if (window == nullptr)
        return;
    QmWind* element = target == u"!REG" ? window : window->FindByCode(FourCC(target));
    Attachment* attachment = Attachment::Find(name);
    if (element == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("ATTACH %s: no element %s"), name, target));
    if (attachment == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("ATTACH %s: no attachment of that name"), name));
    if (element == nullptr || attachment == nullptr)
        return;
    element->Attach(attachment, mask);
}

void ScriptReader::OnAccessibility()
{
    ScreenInfo& screen = ScreenInfo::Instance();
    screen.Refresh();
    screen.ParseOptions(*stream_);
    if (window_)
        window_->UpdateColors();
}

void ScriptReader::OnGetRegistry()
{
    QmStrStream& s = *stream_;
    const FourCC code(s);
    const QString root = ReadScriptToken(s);
    const QString kind = ReadScriptToken(s);
    quint32 options = 0;
    s.readHex(options);
    const QString path = ReadRestOfLine(kRegistryPathLimit);
    RegWind* window = RequireWindow(GETREGISTRY);
    if (window == nullptr || path.isEmpty())
        return;
    platform::RootKey key = platform::RootKey::CurrentUser;
    QString fullPath = path;
    if (root.startsWith(u'L')) {
        key = platform::RootKey::LocalMachine;
    } else if (root.startsWith(u'A')) {
        window->InitHeaderRecord();
        window->ReadProductHeaders();
        if (!IsEngineRegistryKeyOpen()) {
            EngineTrace(platform::formatText(QStringLiteral("GETREGISTRY %s: the engine key is not open"),
                                             FieldCodeToString(code)));
            return;
        }
        fullPath = EngineRegistryKeyPath() + u'\\' + path;
    } else if (!root.startsWith(u'U')) {
        EngineTrace(platform::formatText(QStringLiteral("GETREGISTRY %s: unknown root %s"), FieldCodeToString(code),
                                         root));
        return;
    }
    QString value;
    if (!ReadRegistryValue(options, key, fullPath, &value) || value.isEmpty())
        return;
    window->SetFieldByKind(kind.startsWith(u'H') ? u'H' : u'U', code, value);
}

void ScriptReader::OnGetExternalFields()
{
    QmStrStream& s = *stream_;
    ReadScriptToken(s);
    const QString name = ReadScriptToken(s);
    ReadScriptToken(s);
    qint32 unused = 0;
    s.readInt(unused);
    RegWind* window = RequireWindow(GETEXTERNALFIELDS);
    if (window == nullptr)
        return;
    QFile file(platform::tempFolder() + u'/' + name);
    if (!platform::isPlainFileName(name) || !file.open(QIODevice::ReadOnly)) {
        EngineTrace(platform::formatText(QStringLiteral("GETEXTERNALFIELDS: cannot read %s"), file.fileName()));
        platform::messageBox(GetTableString(QStringLiteral("An external reg file is missing."), 1, FourCC("PARS")),
                             QString(), platform::mb::Ok | platform::mb::IconQuestion);
        return;
    }
    FieldList fields;
    FieldList marked;
    bool externalStart = false;
    // One character per byte; a line ends at a carriage return, a line feed or both.
    const QString text = QString::fromLatin1(file.readAll());
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    for (const QString& line : text.split(lineEnd)) {
        Field field;
        if (!field.Parse(line))
            continue;
        if (field.GetCode()[0] == '=') {
            marked.SetFieldFrom(field);
            if (field.GetCode() == FourCC("=SRM") && field.GetValue().startsWith(u'1'))
                externalStart = true;
        } else {
            fields.SetFieldFrom(field);
        }
    }
    FieldList* header = window->GetList(RegWind::HeaderRecord);
    header->RemoveAll();
    header->Merge(fields);
    window->GetList(RegWind::InitialValues)->Merge(fields);
    window->GetList(RegWind::ExternalFields)->Merge(marked);
    window->GetSettings().externalStart = externalStart;
}

void ScriptReader::OnListFromIni()
{
    QmStrStream& s = *stream_;
    const QString listName = ReadScriptToken(s);
    QString file = ReadScriptToken(s);
    QString section = ReadScriptToken(s);
    if (window_) {
        file = window_->SubstituteTags(file, false);
        section = window_->SubstituteTags(section, false);
    }
    QmStringList* list = FindList(listName);
    if (list == nullptr) {
        lists_.push_back(std::make_unique<QmStringList>(listName));
        list = lists_.back().get();
    }
    QStringList before;
    QStringList after;
    bool marker = false;
    for (const QString& item : *list) {
        if (!marker && platform::asciiEqualsIgnoreCase(item, QStringLiteral("<loadeditems>")))
            marker = true;
        else
            (marker ? after : before) << item;
    }
    const QString path = QDir::isAbsolutePath(file) ? file : ProgramFolder() + u'/' + file;
    const std::optional<platform::IniFile> ini = platform::IniFile::load(path);
    if (!ini)
        EngineTrace(platform::formatText(QStringLiteral("LISTFROMINI %s: cannot read %s"), listName, path));
    const QString missing = QStringLiteral("<missing>");
    list->RemoveAll();
    for (const QString& item : before)
        list->AddString(item);
    for (int n = 0; ini; ++n) {
        const QString value = ini->value(section, QString::number(n), missing);
        if (value == missing)
            break;
        list->AddString(value);
    }
    for (const QString& item : after)
        list->AddString(item);
}

void ScriptReader::OnFieldFromIni()
{
    QmStrStream& s = *stream_;
    const FourCC code(s);
    QString parts[4];
    for (QString& part : parts)
        part = ReadScriptToken(s);
    RegWind* window = RequireWindow(FIELDFROMINI);
    if (window == nullptr)
        return;
    for (QString& part : parts)
        part = window->SubstituteTags(part, false);
    const QString path = QDir::isAbsolutePath(parts[0]) ? parts[0] : ProgramFolder() + u'/' + parts[0];
    window->GetList(RegWind::PageFields)
        ->SetField(code, platform::readProfileString(path, parts[1], parts[2], parts[3]));
}

void ScriptReader::OnSetPageColor()
{
    qint32 rgb[3] = {0, 0, 0};
    for (qint32& value : rgb)
        stream_->readInt(value);
    if (rgb[0] == -1 && rgb[1] == -1 && rgb[2] == -1)
        pageColor_.reset();
    else
        pageColor_ = quint32(rgb[0] & 0xFF) | quint32(rgb[1] & 0xFF) << 8 | quint32(rgb[2] & 0xFF) << 16;
}

void ScriptReader::OnSetPageBackground()
{
    PageBackground& background = pageBackground();
    background.name = ReadScriptToken(*stream_);
    quint32 mode = 0;
    stream_->readHex(mode);
    background.mode = mode;
}

void ScriptReader::OnWmiQuery()
{
    QmStrStream& s = *stream_;
    const FourCC code(s);
    const QString query = ReadScriptToken(s);
    const QString property = ReadScriptToken(s);
    quint32 flags = 0;
    s.readHex(flags);
    RegWind* window = RequireWindow(WMIQUERY);
    if (window == nullptr)
        return;
    QString value = WMIQuery().Query(query, property);
    if (flags & 0x1)
        value = value.trimmed();
    // A failed query still leaves the entry, empty, for the record.
    window->GetList(RegWind::HeaderRecord)->SetField(code, value);
}

// ">SERNUMCREATE code mode [prefix [suffix [value name]]]": the field code that receives the
// number, the maker's mode letter, then its prefix, suffix and registry value name, each a
// token ("" for an empty one). The optional tokens are read from this line only, so a short
// line never takes the next keyword for an argument.
void ScriptReader::OnSerNumCreate()
{
    const FourCC code(*stream_);
    QmStrStream rest(ReadRestOfLine(kRestOfLineLimit));
    QString tokens[4];
    for (QString& token : tokens) {
        SkipScriptBlanks(rest);
        if (rest.atEnd())
            break;
        token = ReadScriptToken(rest);
    }
    RegWind* window = RequireWindow(SERNUMCREATE);
    if (window == nullptr)
        return;
    if (tokens[0].size() != 1) {
        EngineTrace(platform::formatText(QStringLiteral("SERNUMCREATE %s: the mode is not one letter"),
                                         FieldCodeToString(code)));
        return;
    }
    window->DefineSerialNumber(code, tokens[0][0], tokens[1], tokens[2], tokens[3]);
}

void ScriptReader::OnWindowSetting(int keyword)
{
    RegWind* window = RequireWindow(keyword);
    if (window == nullptr)
        return;
    QmStrStream& s = *stream_;
    RegWind::Settings& settings = window->GetSettings();
    auto readInt = [&s] {
        qint32 value = 0;
        s.readInt(value);
        return int(value);
    };
    auto firstLetter = [](const QString& token) { return token.isEmpty() ? QChar() : token[0]; };
    switch (keyword) {
    case SETPHONES:
        settings.phones[0] = ReadScriptToken(s);
        settings.phones[1] = ReadScriptToken(s);
        break;
    case WEBREGSITE: settings.webRegSite = ReadScriptToken(s); break;
    case REMINDID:
        settings.reminderDialogId = readInt();
        DropRestOfLine(kDroppedLong);
        break;
    case REGSUCCESSPAGE: settings.successPage = FourCC(s); break;
    case FTPREDIRECTLOC: settings.ftpRedirect = ReadRestOfLine(kRestOfLineLimit); break;
    case IPREDIRECTLOC: settings.ipRedirect = ReadRestOfLine(kRestOfLineLimit); break;
    case RPCREDIRECTLOC: settings.rpcRedirect = ReadRestOfLine(kRestOfLineLimit); break;
    case DEFAULTCANCELCMD:
        settings.cancelCommand = readInt();
        DropRestOfLine(kDroppedShort);
        break;
    case APPCLEANUP: {
        quint32 flags = 0;
        for (const QChar letter : ReadScriptToken(s)) {
            switch (letter.unicode()) {
            case u'S': flags |= 1; break;
            case u'N': flags |= 2; break;
            case u'R': flags |= 4; break;
            case u'P': flags |= 8; break;
            default:
                EngineTrace(platform::formatText(QStringLiteral("CleanupFlags:  Unknown flag %c"), letter));
                break;
            }
        }
        settings.cleanupFlags = flags;
        break;
    }
    case SETSTARTPAGES:
        for (int& page : settings.startPages)
            page = readInt();
        break;
    case GENUNIQUEREGID:
        settings.uniqueIdCount = readInt();
        settings.uniqueIdCodes = ReadRestOfLine(kRestOfLineLimit);
        break;
    case GENUNIQUEREGKEY: {
        // The key text is what the codes are encoded with; an empty one would encode nothing.
        const QString key = ReadRestOfLine(kRestOfLineLimit);
        if (key.isEmpty())
            EngineTrace(QStringLiteral("GENUNIQUEREGKEY without a key text: the key stays"));
        else
            settings.keyText = key;
        break;
    }
    case DERIVE: {
        const FourCC code(s);
        window->GetList(RegWind::DerivedFields)->SetField(code, ReadRestOfLine(kRestOfLineLimit));
        break;
    }
    case REMINDLINK:
        ReadScriptToken(s);
        settings.reminderLink = ReadRestOfLine(kReminderLinkLimit);
        break;
    case REMINDDAYS: settings.reminderDays = readInt(); break;
    case REGKEY: settings.regKey = FourCC(s); break;
    case RESUPDATE: {
        const QChar letter = firstLetter(ReadScriptToken(s));
        if (letter == u'A')
            settings.resourceUpdate = 1;
        else if (letter == u'F')
            settings.resourceUpdate = 2;
        else if (letter == u'N')
            settings.resourceUpdate = 0;
        else
            EngineTrace(platform::formatText(QStringLiteral("Unknown RESUPDATE type %c"), letter));
        break;
    }
    case REMINDFLAGS: {
        quint32 flags = 0;
        s.readHex(flags);
        settings.reminderFlags = flags;
        DropRestOfLine(kDroppedShort);
        break;
    }
    case OUTPUTORDER: {
        const QString name = ReadScriptToken(s);
        const QmStringList* list = FindList(name);
        if (list == nullptr) {
            EngineTrace(platform::formatText(QStringLiteral("OUTPUTORDER: no list %s"), name));
            break;
        }
        settings.outputOrder.RemoveAll();
        for (const QString& item : *list)
            settings.outputOrder.SetField(FourCC(item), QString());
        break;
    }
    case BACKUPREGMETHOD: settings.backupMethod = ReadScriptToken(s); break;
    case SETMAIL:
        settings.mailCode = FourCC(s);
        settings.mailAddress = ReadRestOfLine(kMailAddressLimit);
        if (settings.mailCode[0] == 'N')
            settings.useMapi = false;
        break;
    case PREFFILE: window->ReadPrefsFile(ReadScriptToken(s)); break;
    default: break;
    }
}
