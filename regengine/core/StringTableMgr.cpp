#include "regengine/core/StringTableMgr.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include "platform/resources/Resources.h"
#include "platform/ui/Ui.h"

#include <limits>

namespace engine {

namespace {

constexpr qsizetype kCaptionLimit = 1024;

}  // namespace

StringTableMgr& StringTableMgr::Instance()
{
    static StringTableMgr manager;
    return manager;
}

QmStringTable* StringTableMgr::FindTable(const FourCC& tag, const FourCC& language) const
{
    for (const auto& table : *this) {
        if (table && table->GetTag() == tag && table->GetLanguage() == language)
            return table.get();
    }
    return nullptr;
}

QmStringTable* StringTableMgr::AddTable(std::unique_ptr<QmStringTable> table)
{
    QmStringTable* added = table.get();
    Add(std::move(table));
    return added;
}

FourCC TableLanguage()
{
    return FourCC("ENGL");
}

QString GetTableStringLang(const QString& fallback, qint32 n, const FourCC& tag, const FourCC& language)
{
    const QmStringTable* table = StringTableMgr::Instance().FindTable(tag, language);
    const QString* text = table != nullptr ? table->GetString(n) : nullptr;
    return text != nullptr ? *text : fallback;
}

QString GetTableString(const QString& fallback, qint32 n, const FourCC& tag)
{
    return GetTableStringLang(fallback, n, tag, TableLanguage());
}

void ResolveStringRef(QString& out, const FourCC& tag, qint32 n)
{
    const QmStringTable* table = StringTableMgr::Instance().FindTable(tag, FourCC("ENGL"));
    if (table == nullptr || n < 1)
        return;
    if (const QString* text = table->GetStringAt(n - 1))
        out = *text;
}

void ResolveStringRefText(QString& out, const QString& text)
{
    if (text.size() <= 6 || text[0] != u'=' || text[5] != u':') {
        out = text;
        return;
    }
    qint64 n = 0;
    for (qsizetype i = 6; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i].unicode() - u'0');
        if (n > std::numeric_limits<qint32>::max())
            return;  // names no entry
    }
    ResolveStringRef(out, FourCC(QStringView(text).mid(1, 4)), qint32(n));
}

QString MakeStringFromTable(const FourCC& tag, qint32 n)
{
    QString text;
    ResolveStringRef(text, tag, n);
    return text;
}

QString MakeStringResolved(const QString& text)
{
    QString resolved;
    ResolveStringRefText(resolved, text);
    return resolved;
}

QString ReadStringFromScript(QmStrStream& stream)
{
    // A caption belongs to its own line: when the line has already ended, there is none,
    // rather than the next line taken in its place.
    if (stream.previous() == u'\n')
        return {};
    SkipLineBlanks(stream);
    QString line;
    ReadScriptLine(stream, line, kCaptionLimit);
    UnescapeHex(line);
    return MakeStringResolved(line);
}

QString GetCStringInd(int id, int n, const QString& module)
{
    QString text;
    if (platform::hasString(module, id))
        text = platform::loadString(module, id);
    else
        platform::messageBox(QStringLiteral("GetCStringInd is missing resources"), QStringLiteral("uh-oh"),
                             platform::mb::Ok);
    for (int line = 1; line < n; ++line) {
        const qsizetype feed = text.indexOf(u'\n');
        if (feed < 0)
            break;
        text.remove(0, feed + 1);
    }
    const qsizetype feed = text.indexOf(u'\n');
    return feed < 0 ? text : text.left(feed);
}

}  // namespace engine
