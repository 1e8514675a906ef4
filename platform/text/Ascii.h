#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Case folding of A-Z only. Names, keys and switches must compare alike under every
// locale (a Turkish locale folds "I" to a dotless i), so nothing here consults one.
QString asciiLower(const QString& s);
QString asciiUpper(const QString& s);
QByteArray asciiLower(const QByteArray& s);
bool asciiEqualsIgnoreCase(const QString& a, const QString& b);
int asciiCompareIgnoreCase(const QString& a, const QString& b);

}  // namespace platform
