#pragma once

// What the client stored, read through its own connection to brevant.dat.

#include "client/Database.h"

#include <QString>
#include <QStringList>

namespace testsupport {

// The `columns` of every row of `sql`, joined by "|" per row; a failing statement adds
// "<error N>", so that it cannot pass for no rows.
inline QStringList rows(const QString& sql, const QStringList& columns)
{
    QStringList out;
    int error = 0;
    for (const client::RecordMap& row : client::Database::Query(sql, client::Database::Instance(), &error)) {
        QStringList values;
        for (const QString& c : columns)
            values << client::GetField(row, c);
        out << values.join(u'|');
    }
    if (error != 0)
        out << QStringLiteral("<error %1>").arg(error);
    return out;
}

}  // namespace testsupport
