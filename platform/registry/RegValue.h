#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

enum class RegType { String, ExpandString, DWord, QWord, MultiString, Binary };

// One typed registry value. Only the member that matches `type` is meaningful.
struct RegValue {
    RegType type = RegType::String;
    QString text;         // String, ExpandString
    quint64 number = 0;   // DWord (low 32 bits), QWord
    QStringList strings;  // MultiString
    QByteArray bytes;     // Binary

    static RegValue fromString(const QString& s);
    static RegValue fromDWord(quint32 v);
    static RegValue fromQWord(quint64 v);
    static RegValue fromMultiString(const QStringList& list);
    static RegValue fromBinary(const QByteArray& data);

    // The value as the raw little-endian bytes Windows would store (strings as UTF-16LE
    // with their terminating zero), for callers that read "all stored bytes".
    QByteArray rawBytes() const;

    bool operator==(const RegValue& other) const;
};

}  // namespace platform
