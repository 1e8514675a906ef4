#include "regengine/core/QmStringTable.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

namespace engine {

namespace {

constexpr qsizetype kTableLineLimit = 2048;

// "\n", "\r" and "\t" become their characters; any other backslash pair, and a backslash at
// the end, stay as written.
QString unescapeTableText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'n' || next == u'r' || next == u't') {
                out += next == u'n' ? u'\n' : (next == u'r' ? u'\r' : u'\t');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

QmStringTable::QmStringTable(const FourCC& tag, const FourCC& language) : tag_(tag), language_(language) {}

QmStringTable* QmStringTable::CreateFromScript(QmStrStream& stream)
{
    QString tag;
    QString language;
    stream.readWord(tag);
    stream.readWord(language);
    QmStringTable* table =
        StringTableMgr::Instance().AddTable(std::make_unique<QmStringTable>(FourCC(tag), FourCC(language)));
    if (stream.previous() != u'\n')
        stream.ignore(-1, u'\n');
    table->ReadEntries(stream);
    return table;
}

void QmStringTable::ReadEntries(QmStrStream& stream)
{
    for (;;) {
        SkipScriptBlanks(stream);
        const int next = stream.peek();
        if (next < 0 || next == u'>')
            return;
        qint32 number = 0;
        if (!stream.readInt(number)) {
            // Not an entry: skip the line and go on, so one stray line does not fail the
            // stream and with it the rest of the script.
            stream.clear();
            stream.ignore(-1, u'\n');
            continue;
        }
        // Stay on the number's line: an entry without text must not take the next line.
        SkipLineBlanks(stream);
        QString text;
        if (!ReadScriptLine(stream, text, kTableLineLimit)) {
            if (stream.fail())
                return;
            continue;
        }
        if (!text.isEmpty())
            AddEntry(number, unescapeTableText(text));
    }
}

void QmStringTable::AddEntry(qint32 number, const QString& text)
{
    numbers_.Add(number);
    strings_.AddString(text);
}

int QmStringTable::IndexOf(qint32 n) const
{
    for (int i = numbers_.GetCount() - 1; i >= 0; --i) {
        if (*numbers_.At(i) == n)
            return i;
    }
    return -1;
}

const QString* QmStringTable::GetString(qint32 n) const
{
    return strings_.GetItem(IndexOf(n));
}

}  // namespace engine
