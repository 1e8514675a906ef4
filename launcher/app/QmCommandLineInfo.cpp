#include "launcher/app/QmCommandLineInfo.h"

#include "regengine/core/FieldList.h"

#include "platform/text/Ascii.h"

using namespace engine;

namespace launcher {

namespace {

// Only so much of an argument is looked at.
constexpr qsizetype kArgumentLimit = 255;

const QString kLanguage = QStringLiteral("language=");
const QString kFlags = QStringLiteral("FLAGS=");
const QString kLocation = QStringLiteral("SSI_SN_LOCATION=");

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The value as the window reads it back between double quotes.
QString quoted(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (const QChar c : value) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

bool isEightBit(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

bool isFieldItem(QStringView item)
{
    return item.size() > 4 && item[4] == u'=';
}

}  // namespace

QmCommandLineInfo::QmCommandLineInfo(FieldList* fields) : fields_(fields), language_(NoLanguage())
{
    RegisterCommandWords();
}

LangCode QmCommandLineInfo::NoLanguage()
{
    return LangCode("???");
}

void QmCommandLineInfo::AddCommandWord(const QString& word, int index)
{
    commandWords_.insert(platform::asciiLower(word), index);
}

int QmCommandLineInfo::FindCommandWord(const QString& word) const
{
    return commandWords_.value(platform::asciiLower(word), -1);
}

void QmCommandLineInfo::RegisterCommandWords()
{
    AddCommandWord(QStringLiteral("REMIND"), 0);
    AddCommandWord(QStringLiteral("UNINSTALL"), 1);
    AddCommandWord(QStringLiteral("REGSTATUS"), 2);
}

bool QmCommandLineInfo::StartsItem(QStringView rest) const
{
    if (rest.startsWith(kLanguage) || rest.startsWith(kFlags) || rest.startsWith(kLocation))
        return true;
    const qsizetype slash = rest.indexOf(u'/');
    const QStringView word = slash < 0 ? rest : rest.left(slash);
    if (FindCommandWord(word.toString()) >= 0)
        return true;
    return isFieldItem(rest) && !rest.left(4).contains(u'/') && !rest.left(4).contains(u'=');
}

// A value may hold "/" (a path, a URL); it is split only where an item of its own follows,
// so "FLAGS=abc/MODL=xyz" gives two items and "MODL=a/b" one.
QStringList QmCommandLineInfo::SplitItems(const QString& argument) const
{
    QStringList items;
    qsizetype start = 0;
    for (qsizetype i = 0; i < argument.size(); ++i) {
        if (argument[i] != u'/' || !StartsItem(QStringView(argument).mid(i + 1)))
            continue;
        items << argument.mid(start, i - start);
        start = i + 1;
    }
    items << argument.mid(start);
    return items;
}

void QmCommandLineInfo::ParseParam(const QString& param, bool flag, bool last)
{
    const QStringList items = SplitItems(param.left(kArgumentLimit));
    for (qsizetype n = 0; n < items.size(); ++n) {
        const QString& item = items[n];
        if (item.startsWith(kLanguage)) {
            qsizetype end = kLanguage.size();
            while (end < item.size() && isAsciiLetter(item[end]))
                ++end;
            language_ = LangCode(QStringView(item).mid(kLanguage.size(), end - kLanguage.size()));
        } else if (item.contains(kLocation)) {
            const qsizetype equals = item.indexOf(u'=');
            serialNumberLocation_ = item.mid(equals + 1);
            passThrough_ += QStringLiteral(" /SSI_SN_LOCATION=") + quoted(serialNumberLocation_);
        } else if (n == 0 && item.startsWith(kFlags)) {
            flags_ = item.mid(kFlags.size());
        } else if (const int word = FindCommandWord(item); word >= 0) {
            mode_ = word;
        } else if (fields_ != nullptr && isFieldItem(item)) {
            // The product code is the installation's; a command line may not change it. A code
            // is four bytes, and a character past U+00FF would narrow to another one (U+0150
            // to "P"), so the guard would not see the code that is set: such an item is dropped.
            if (item.contains(QStringLiteral("PROD")) || !isEightBit(QStringView(item).left(4)))
                continue;
            const QString code = item.left(4);
            const QString value = item.mid(5);
            fields_->SetField(FourCC(code), value);
            if (!passThrough_.isEmpty())
                passThrough_ += u' ';
            passThrough_ += u'/' + code + u'=' + quoted(value);
        } else {
            CommandLineInfo::ParseParam(item, flag, last && n + 1 == items.size());
        }
    }
}

}  // namespace launcher
