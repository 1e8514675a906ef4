#include "platform/wmi/WqlQuery.h"

#include <QList>

namespace platform {
namespace {

struct Token {
    enum Kind { Name, Text, Number, Star, Comma, Equals } kind;
    QString text;
};

bool isNameStart(QChar c)
{
    return c == u'_' || (c.unicode() < 128 && c.isLetter());
}
bool isNameChar(QChar c)
{
    return isNameStart(c) || (c.unicode() < 128 && c.isDigit());
}
bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Nullopt with `*why` set when `s` holds what is no WQL token.
std::optional<QList<Token>> tokenize(const QString& s, QString* why)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'*' || c == u',' || c == u'=') {
            tokens.append({c == u'*' ? Token::Star : c == u',' ? Token::Comma : Token::Equals, QString(c)});
            ++i;
        } else if (c == u'\'' || c == u'"') {
            QString text;
            for (++i;; ++i) {
                if (i >= s.size()) {
                    *why = QStringLiteral("the quoted value is not closed");
                    return std::nullopt;
                }
                if (s[i] == c)
                    break;
                if (s[i] == u'\\' && i + 1 < s.size())
                    ++i;
                text += s[i];
            }
            ++i;
            tokens.append({Token::Text, text});
        } else if (isDigit(c) || ((c == u'-' || c == u'+') && i + 1 < s.size() && isDigit(s[i + 1]))) {
            const qsizetype start = i++;
            while (i < s.size() && isDigit(s[i]))
                ++i;
            tokens.append({Token::Number, s.mid(start, i - start)});
        } else if (isNameStart(c)) {
            const qsizetype start = i;
            while (i < s.size() && isNameChar(s[i]))
                ++i;
            tokens.append({Token::Name, s.mid(start, i - start)});
        } else {
            *why = QStringLiteral("'%1' is not part of WQL").arg(c);
            return std::nullopt;
        }
    }
    return tokens;
}

bool isKeyword(const Token& t, const char* word)
{
    return t.kind == Token::Name && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isPlainName(const Token& t)
{
    return t.kind == Token::Name && !isKeyword(t, "SELECT") && !isKeyword(t, "FROM") && !isKeyword(t, "WHERE");
}

}  // namespace

std::optional<WqlQuery> parseWql(const QString& text, QString* error)
{
    const auto refuse = [&](const QString& why) -> std::optional<WqlQuery> {
        if (error != nullptr)
            *error = QStringLiteral("Unable to read the WQL query \"%1\": %2").arg(text, why);
        return std::nullopt;
    };
    QString why;
    const auto tokens = tokenize(text, &why);
    if (!tokens)
        return refuse(why);
    const QList<Token>& t = *tokens;
    qsizetype i = 0;
    auto at = [&](qsizetype k) -> const Token* { return k < t.size() ? &t[k] : nullptr; };

    if (!at(i) || !isKeyword(*at(i), "SELECT"))
        return refuse(QStringLiteral("it does not start with SELECT"));
    ++i;
    WqlQuery q;
    if (at(i) && at(i)->kind == Token::Star) {
        ++i;
    } else {
        for (;;) {
            if (!at(i) || !isPlainName(*at(i)))
                return refuse(QStringLiteral("a property name is missing"));
            q.properties << at(i)->text;
            ++i;
            if (!at(i) || at(i)->kind != Token::Comma)
                break;
            ++i;
        }
    }
    if (!at(i) || !isKeyword(*at(i), "FROM") || !at(i + 1) || !isPlainName(*at(i + 1)))
        return refuse(QStringLiteral("FROM and a class name do not follow the properties"));
    q.className = at(i + 1)->text;
    i += 2;
    if (at(i)) {
        if (!isKeyword(*at(i), "WHERE"))
            return refuse(QStringLiteral("\"%1\" follows the class name").arg(at(i)->text));
        if (!at(i + 1) || !isPlainName(*at(i + 1)) || !at(i + 2) || at(i + 2)->kind != Token::Equals || !at(i + 3) ||
            (at(i + 3)->kind != Token::Text && at(i + 3)->kind != Token::Number))
            return refuse(QStringLiteral("the condition is not <property> = <value>"));
        q.where = WqlCondition{at(i + 1)->text, at(i + 3)->text};
        i += 4;
    }
    if (at(i))
        return refuse(QStringLiteral("\"%1\" follows the condition").arg(at(i)->text));
    return q;
}

}  // namespace platform
