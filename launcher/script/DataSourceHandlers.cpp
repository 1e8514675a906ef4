#include "launcher/script/KeywordHandlers.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/script/ScriptTarget.h"

#include "regengine/core/EngineRegistry.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/Field.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/QmStringTable.h"
#include "regengine/core/RegRecordLists.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/WMIQuery.h"

#include "platform/inifile/IniFile.h"
#include "platform/shell/Shell.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace engine;

namespace launcher {

namespace {

void onList(ScriptReader& reader)
{
    reader.AddList(std::make_unique<QmStringList>(reader.Stream()));
}

void onStringTable(ScriptReader& reader)
{
    QmStringTable::CreateFromScript(reader.Stream());
}

// SETFIELD, SETHEADER, SETINITIALVALUE and SETBLANKVALUE: a code and a script text; "_" and
// a blank text store nothing.
void onValueOfKind(ScriptReader& reader, int keyword, QChar kind)
{
    ScriptTarget* window = reader.RequireWindow(keyword);
    if (window == nullptr)
        return;
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    QString text = ReadStringFromScript(s).trimmed();
    if (text == u"_")
        text.clear();
    if (!text.isEmpty())
        window->SetFieldByKind(kind, code, text);
}

void onDerive(ScriptReader& reader)
{
    ScriptTarget* window = reader.RequireWindow(ScriptReader::DERIVE);
    if (window == nullptr)
        return;
    const FourCC code(reader.Stream());
    window->GetList(RegRecordLists::DerivedFields)->SetField(code, reader.ReadRestOfLine(ScriptLineLimit::kRestOfLine));
}

void onGetCommandLineHeaders(ScriptReader& reader)
{
    ScriptTarget* window = reader.RequireWindow(ScriptReader::GETCOMMANDLINEHEADERS);
    if (window != nullptr && reader.GetCommandLineFields() != nullptr)
        window->MergeCommandLineFields(*reader.GetCommandLineFields());
}

void onGetRegistry(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    const QString root = ReadScriptToken(s);
    const QString kind = ReadScriptToken(s);
    quint32 options = 0;
    s.readHex(options);
    const QString path = reader.ReadRestOfLine(ScriptLineLimit::kRegistryPath);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::GETREGISTRY);
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
        EngineTrace(
            platform::formatText(QStringLiteral("GETREGISTRY %s: unknown root %s"), FieldCodeToString(code), root));
        return;
    }
    QString value;
    if (!ReadRegistryValue(options, key, fullPath, &value) || value.isEmpty())
        return;
    window->SetFieldByKind(kind.startsWith(u'H') ? u'H' : u'U', code, value);
}

void onGetExternalFields(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    ReadScriptToken(s);
    const QString name = ReadScriptToken(s);
    ReadScriptToken(s);
    qint32 unused = 0;
    s.readInt(unused);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::GETEXTERNALFIELDS);
    if (window == nullptr)
        return;
    // Without the temp folder the name would be read from the root folder.
    QString error;
    const QString folder = platform::tempFolder(&error);
    QFile file(folder + u'/' + name);
    if (folder.isEmpty() || !platform::isPlainFileName(name) || !file.open(QIODevice::ReadOnly)) {
        EngineTrace(folder.isEmpty()
                        ? QStringLiteral("GETEXTERNALFIELDS: ") + error
                        : platform::formatText(QStringLiteral("GETEXTERNALFIELDS: cannot read %s"), file.fileName()));
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
    FieldList* header = window->GetList(RegRecordLists::HeaderRecord);
    header->RemoveAll();
    header->Merge(fields);
    window->GetList(RegRecordLists::InitialValues)->Merge(fields);
    window->GetList(RegRecordLists::ExternalFields)->Merge(marked);
    window->GetSettings().externalStart = externalStart;
}

void onListFromIni(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const QString listName = ReadScriptToken(s);
    QString file = ReadScriptToken(s);
    QString section = ReadScriptToken(s);
    if (ScriptTarget* window = reader.GetScriptTarget()) {
        file = window->SubstituteTags(file, false);
        section = window->SubstituteTags(section, false);
    }
    QmStringList* list = reader.FindList(listName);
    if (list == nullptr)
        list = reader.AddList(std::make_unique<QmStringList>(listName));
    QStringList before;
    QStringList after;
    bool marker = false;
    for (const QString& item : *list) {
        if (!marker && platform::asciiEqualsIgnoreCase(item, QStringLiteral("<loadeditems>")))
            marker = true;
        else
            (marker ? after : before) << item;
    }
    const QString path = QDir::isAbsolutePath(file) ? file : reader.ProgramFolder() + u'/' + file;
    QString error;
    const std::optional<platform::IniFile> ini = platform::IniFile::load(path, &error);
    if (!ini)
        EngineTrace(platform::formatText(QStringLiteral("LISTFROMINI %s: %s"), listName, error));
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

void onFieldFromIni(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    QString parts[4];
    for (QString& part : parts)
        part = ReadScriptToken(s);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::FIELDFROMINI);
    if (window == nullptr)
        return;
    for (QString& part : parts)
        part = window->SubstituteTags(part, false);
    const QString path = QDir::isAbsolutePath(parts[0]) ? parts[0] : reader.ProgramFolder() + u'/' + parts[0];
    window->GetList(RegRecordLists::PageFields)
        ->SetField(code, platform::readProfileString(path, parts[1], parts[2], parts[3]));
}

void onWmiQuery(ScriptReader& reader)
{
    QmStrStream& s = reader.Stream();
    const FourCC code(s);
    const QString query = ReadScriptToken(s);
    const QString property = ReadScriptToken(s);
    quint32 flags = 0;
    s.readHex(flags);
    ScriptTarget* window = reader.RequireWindow(ScriptReader::WMIQUERY);
    if (window == nullptr)
        return;
    QString value = WMIQuery().Query(query, property);
    if (flags & 0x1)
        value = value.trimmed();
    // A failed query still leaves the entry, empty, for the record.
    window->GetList(RegRecordLists::HeaderRecord)->SetField(code, value);
}

void onDoListSubs(ScriptReader& reader)
{
    const QString name = ReadScriptToken(reader.Stream());
    if (ScriptTarget* window = reader.RequireWindow(ScriptReader::DOLISTSUBS))
        window->ExpandListText(name);
}

}  // namespace

void InstallDataSourceHandlers(ScriptReader& reader)
{
    auto kind = [](int keyword, QChar letter) {
        return [keyword, letter](ScriptReader& r) { onValueOfKind(r, keyword, letter); };
    };
    reader.SetKeywordHandler(ScriptReader::LIST, onList);
    reader.SetKeywordHandler(ScriptReader::STRINGTABLE, onStringTable);
    reader.SetKeywordHandler(ScriptReader::SETFIELD, kind(ScriptReader::SETFIELD, u'U'));
    reader.SetKeywordHandler(ScriptReader::SETHEADER, kind(ScriptReader::SETHEADER, u'H'));
    reader.SetKeywordHandler(ScriptReader::SETINITIALVALUE, kind(ScriptReader::SETINITIALVALUE, u'P'));
    reader.SetKeywordHandler(ScriptReader::SETBLANKVALUE, kind(ScriptReader::SETBLANKVALUE, u'B'));
    reader.SetKeywordHandler(ScriptReader::DERIVE, onDerive);
    reader.SetKeywordHandler(ScriptReader::GETCOMMANDLINEHEADERS, onGetCommandLineHeaders);
    reader.SetKeywordHandler(ScriptReader::GETREGISTRY, onGetRegistry);
    reader.SetKeywordHandler(ScriptReader::GETEXTERNALFIELDS, onGetExternalFields);
    reader.SetKeywordHandler(ScriptReader::LISTFROMINI, onListFromIni);
    reader.SetKeywordHandler(ScriptReader::FIELDFROMINI, onFieldFromIni);
    reader.SetKeywordHandler(ScriptReader::WMIQUERY, onWmiQuery);
    reader.SetKeywordHandler(ScriptReader::DOLISTSUBS, onDoListSubs);
}

}  // namespace launcher
