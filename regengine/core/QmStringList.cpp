#include "regengine/core/QmStringList.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/core/StringTableMgr.h"

namespace engine {

namespace {

constexpr qsizetype kListLineLimit = 1000;

}  // namespace

QmStringList::QmStringList(QmStrStream& script)
{
    name_ = ReadScriptToken(script);
    // The token reader consumed what ended the name; unless that was the line feed, the rest
    // of the keyword line is skipped so the first item is the next line.
    if (script.previous() != u'\n')
        script.ignore(-1, u'\n');
    for (;;) {
        const int next = script.peek();
        if (next < 0 || next == u'>')
            break;
        QString line;
        if (!ReadScriptLine(script, line, kListLineLimit)) {
            if (script.fail())
                break;
            continue;
        }
        UnescapeHex(line);
        if (line.isEmpty())
            continue;
        AddString(line == u"_" ? QString() : line);
    }
}

void QmStringList::AddText(const QString& text)
{
    if (!text.isEmpty())
        Add(text);
}

void QmStringList::Merge(const QmStringList& other)
{
    const int count = other.GetCount();
    for (int i = 0; i < count; ++i)
        AddText(*other.At(i));
}

bool QmStringList::GetItemAsString(int i, QString& out) const
{
    const QString* item = At(i);
    if (item == nullptr)
        return false;
    out = *item;
    return true;
}

QString QmStringList::GetItemText(int i, int n) const
{
    const QString* item = At(i);
    if (item == nullptr || n <= 0)
        return {};
    return item->left(n - 1);
}

void QmStringList::ReadItems(QmStrStream& stream)
{
    SkipLineBlanks(stream);
    if (stream.peek() != u'(') {
        if (stream.peek() >= 0 && stream.peek() != u'\n')
            AddString(MakeStringResolved(ReadScriptToken(stream)));
        return;
    }
    QChar c;
    stream.get(c);
    for (;;) {
        SkipLineBlanks(stream);
        if (stream.peek() == u',')
            stream.get(c);
        SkipLineBlanks(stream);
        const int next = stream.peek();
        if (next < 0 || next == u'\n')
            break;
        if (next == u')') {
            stream.get(c);
            break;
        }
        AddString(MakeStringResolved(ReadScriptToken(stream)));
        // A token that ran to the line end closed the list with it.
        if (stream.previous() == u'\n' || stream.fail())
            break;
        SkipLineBlanks(stream);
        if (stream.peek() == u')') {
            stream.get(c);
            break;
        }
    }
}

}  // namespace engine
