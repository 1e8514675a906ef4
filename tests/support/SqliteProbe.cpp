#include "tests/support/SqliteProbe.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <sqlite3.h>

namespace testsupport {

QByteArray tryExclusiveLock(const QString& path)
{
    QProcess py;
    py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import sqlite3,sys\n"
                             "c=sqlite3.connect(sys.argv[1], timeout=0, isolation_level=None)\n"
                             "try:\n c.execute('BEGIN EXCLUSIVE'); print('locked')\n"
                             "except sqlite3.OperationalError as e: print(e)\n"),
              path});
    EXPECT_TRUE(py.waitForFinished(20000)) << "the lock probe did not end: " << py.errorString().toStdString();
    return py.readAllStandardOutput().trimmed();
}

QStringList readRows(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    QStringList out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList values;
                for (int i = 0; i < sqlite3_column_count(st); ++i)
                    values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                out << values.join(u'|');
            }
            sqlite3_finalize(st);
        } else
            out << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return out;
}

}  // namespace testsupport
