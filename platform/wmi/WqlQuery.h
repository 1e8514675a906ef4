#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// "WHERE <property> = <value>".
struct WqlCondition {
    QString property;
    QString value;
};

// The WQL we answer: SELECT <*|property[, property...]> FROM <class> [WHERE <property> = <value>].
struct WqlQuery {
    QStringList properties;  // empty for "*"
    QString className;
    std::optional<WqlCondition> where;
};

// Keywords in any case; a value in single or double quotes, where a backslash takes the next
// character as it is, or a bare number. nullopt when the text is not of that form, with
// `*error` saying where it departs from it.
std::optional<WqlQuery> parseWql(const QString& text, QString* error = nullptr);

}  // namespace platform
