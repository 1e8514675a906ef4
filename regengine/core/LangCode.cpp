#include "regengine/core/LangCode.h"

#include <QHash>

namespace engine {

namespace {

struct LanguageGlobals {
    QHash<LangCode, LangCode> map;
    LangCode current{"EN"};
};

LanguageGlobals& globals()
{
    static LanguageGlobals g;
    return g;
}

}  // namespace

LangCode::LangCode() : bytes_{0, 0, 0} {}

LangCode::LangCode(const char* text) : bytes_{0, 0, 0}
{
    for (size_t i = 0; text != nullptr && i < 3 && text[i] != '\0'; ++i)
        bytes_[i] = static_cast<quint8>(text[i]);
}

LangCode::LangCode(QStringView text) : bytes_{0, 0, 0}
{
    for (qsizetype i = 0; i < 3 && i < text.size() && text[i] != QChar(); ++i)
        bytes_[static_cast<size_t>(i)] = static_cast<quint8>(text[i].unicode() & 0xFF);
}

QString LangCode::GetString() const
{
    QString text;
    for (quint8 b : bytes_) {
        if (b == 0)
            break;
        text += QChar(static_cast<char16_t>(b));
    }
    return text;
}

void LangCode::SetMapping(const LangCode& key, const LangCode& value)
{
    globals().map.insert(key, value);
}

LangCode LangCode::Translate(const LangCode& code)
{
    return globals().map.value(code, code);
}

LangCode LangCode::Current()
{
    return globals().current;
}

void LangCode::SetCurrent(const LangCode& code)
{
    globals().current = code;
}

quint32 HashLangCode(const LangCode& code)
{
    quint32 h = 0;
    for (QChar c : code.GetString())
        h = h * 33u + c.unicode();
    return h;
}

size_t qHash(const LangCode& code, size_t seed) noexcept
{
    return HashLangCode(code) ^ seed;
}

}  // namespace engine
