#pragma once

// Readable failure output for Qt's values; gtest finds these by the argument's (global)
// namespace, so they are declared there.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{' << l.join(" | ").toStdString() << '}';
}
inline void PrintTo(const QDateTime& t, std::ostream* os)
{
    *os << t.toString(Qt::ISODate).toStdString();
}
