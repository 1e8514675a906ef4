// Figures for the message store and the registration-file import, run by hand:
//   client_model_bench [folder]
// The folder (default: a new one under the current directory) should be on the disk the
// figures are meant for; tmpfs would hide the cost of the commits. Beside each figure
// stands its floor: the same rows written or read by bare SQLite prepared statements, or
// for the import, reading the file plus one commit.
#include "client/Database.h"
#include "client/MessageList.h"
#include "client/MfgrModel.h"
#include "client/TovaImport.h"
#include "client/TovaReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace client;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* what, double ms, const char* extra = "")
{
    std::printf("%-58s %10.2f ms %s\n", what, ms, extra);
}

// Starts over with an empty brevant.dat.
sqlite3* freshDatabase()
{
    Database::Close();
    QFile::remove(Database::GetFolder() + "/brevant.dat");
    return Database::Instance();
}

void storeMessages(sqlite3* db, int count)
{
    Message::CreateSchema(db);
    QString sql;
    for (int i = 1; i <= count; ++i) {
        const QString id = QStringLiteral("msg-%1").arg(i);
        sql += QStringLiteral("INSERT INTO Message VALUES ('%1','OVEX','critical_updates',%2,0,0,%3);")
                   .arg(id)
                   .arg(1200000000 + i)
                   .arg(i);
        for (const char* p : {"title", "url", "endtime", "p4", "p5"})
            sql += QStringLiteral("INSERT INTO MessageParam VALUES ('%1','%2','value of %2 for %1');").arg(id, p);
    }
    Database::Query(sql, db);
    Database::Commit(db);
}

// The floor of the load: the same rows, read by two prepared statements into texts.
double loadFloor()
{
    Database::Close();
    const QByteArray path = QFile::encodeName(Database::GetFolder() + "/brevant.dat");
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        std::vector<QString> texts;
        for (const char* sql :
             {"SELECT msgid,mfgr,channel,added,deleted,read,msgorder FROM Message ORDER BY added,msgorder",
              "SELECT msgid,param,value FROM MessageParam"}) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
            while (sqlite3_step(statement) == SQLITE_ROW)
                for (int c = 0; c < sqlite3_column_count(statement); ++c)
                    texts.push_back(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                                                      sqlite3_column_bytes(statement, c)));
            sqlite3_finalize(statement);
        }
        runs.push_back(t.nsecsElapsed() / 1e6);
    }
    sqlite3_close(db);
    return median(runs);
}

double loadMessages()
{
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        Database::Close();
        Database::Instance();
        QElapsedTimer t;
        t.start();
        MessageList list;
        list.Load();
        runs.push_back(t.nsecsElapsed() / 1e6);
        if (list.Count() != 10000)
            std::printf("unexpected count %d\n", list.Count());
    }
    return median(runs);
}

double oneCommit(sqlite3* db)
{
    Database::Query("CREATE TABLE IF NOT EXISTS Scratch (n INTEGER)", db);
    Database::Commit(db);
    std::vector<double> runs;
    for (int i = 0; i < 50; ++i) {
        Database::Query(QStringLiteral("INSERT INTO Scratch VALUES (%1)").arg(i), db);
        QElapsedTimer t;
        t.start();
        Database::Commit(db);
        runs.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(runs);
}

double saveMessages(int count)
{
    MessageList list;
    for (int i = 1; i <= count; ++i) {
        Message m = Message::FromTova({{"id", QStringLiteral("new-%1").arg(i)},
                                       {"offer", "A title"},
                                       {"url", "http://example.invalid/m"},
                                       {"endtime", "4102444800"},
                                       {"p4", "x"},
                                       {"p5", "y"},
                                       {"mfgr", "OVEX"},
                                       {"added", "2024-01-01"}});
        list.Add(m);
    }
    QElapsedTimer t;
    t.start();
    list.Save();
    return t.nsecsElapsed() / 1e6;
}

// The floor of the save: the same rows by prepared statements into a file of their own,
// and one commit.
double saveFloor(int count, std::initializer_list<const char*> names = {"title", "url", "endtime", "p4", "p5"})
{
    const QByteArray path = QFile::encodeName(Database::GetFolder() + "/floor.dat");
    QFile::remove(QString::fromLocal8Bit(path));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Message::CreateSchema(db);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* row = nullptr;
    sqlite3_stmt* param = nullptr;
    sqlite3_prepare_v2(db, "REPLACE INTO Message VALUES (?,'OVEX','',?,0,0,?)", -1, &row, nullptr);
    sqlite3_prepare_v2(db, "REPLACE INTO MessageParam VALUES (?,?,?)", -1, &param, nullptr);
    for (int i = 1; i <= count; ++i) {
        const QByteArray id = "new-" + QByteArray::number(i);
        sqlite3_bind_text(row, 1, id.constData(), int(id.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(row, 2, 1704067200);
        sqlite3_bind_int(row, 3, i);
        sqlite3_step(row);
        sqlite3_reset(row);
        for (const char* p : names) {
            sqlite3_bind_text(param, 1, id.constData(), int(id.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(param, 2, p, -1, SQLITE_STATIC);
            sqlite3_bind_text(param, 3, "a value", -1, SQLITE_STATIC);
            sqlite3_step(param);
            sqlite3_reset(param);
        }
    }
    sqlite3_finalize(row);
    sqlite3_finalize(param);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    QFile::remove(QString::fromLocal8Bit(path));
    return ms;
}

QByteArray tovaOfSize(int bytes, bool manyMessages)
{
    QByteArray text = ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n";
    for (const char* name : {"critical_updates", "service_alerts", "product_updates"})
        text += QByteArray(">BeginChannel\nname:") + name + "\ntitle:T\nfields:MODL CTRY USID\n>EndChannel\n";
    if (manyMessages) {
        text += ">BeginRecord\nMFGR:OVEX\nMODL:m\n>EndRecord\n";
        for (int i = 0; text.size() < bytes; ++i)
            text += ">BeginMessage\nid:" + QByteArray::number(i) + "\noffer:Message number " + QByteArray::number(i) +
                    "\nurl:http://example.invalid/messages/" + QByteArray::number(i) +
                    ".htm\nendtime:4102444800\nnote:" + QByteArray(100, 'n') + "\n>EndMessage\n";
    } else {
        text += ">BeginRecord\nMFGR:OVEX\n";
        for (int i = 0; text.size() < bytes - 20; ++i)
            text += "F" + QByteArray::number(i) + ":" + QByteArray(200, 'v') + "\n";
        text += ">EndRecord\n";
    }
    return text;
}

void importTova(const char* shape, bool manyMessages, double commitMs)
{
    const QString path = Database::GetFolder() + "/bench.tova";
    const QByteArray text = tovaOfSize(1 << 20, manyMessages);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    f.close();

    QElapsedTimer t;
    t.start();
    const TovaReader reader = TovaReader::Read(path);
    const double readMs = t.nsecsElapsed() / 1e6;

    sqlite3* db = freshDatabase();
    MfgrModel model;
    t.restart();
    const bool ok = ImportTovaFile(model, path, db, false);
    const double importMs = t.nsecsElapsed() / 1e6;

    char line[160];
    std::snprintf(line, sizeof line, "read 1 MB .tova (%s, %d lines)", shape, reader.lineCount);
    report(line, readMs);
    std::snprintf(line, sizeof line, "import 1 MB .tova (%s)%s", shape, ok ? "" : " FAILED");
    char extra[80];
    std::snprintf(extra, sizeof extra, "(%d messages stored)", model.importedMessages.Count());
    report(line, importMs, manyMessages ? extra : "");
    std::snprintf(extra, sizeof extra, "(%.2fx; goal: at most 1.5x)", importMs / (readMs + commitMs));
    report("  floor: reading it plus one commit", readMs + commitMs, extra);
    if (manyMessages) {
        // Writing the rows themselves is SQLite's work, which no reader of the file avoids.
        const double rows = saveFloor(model.importedMessages.Count(), {"title", "url", "endtime", "note"});
        std::snprintf(extra, sizeof extra, "(%.2fx)", importMs / (readMs + rows));
        report("  floor: reading it plus its message rows by bare SQLite", readMs + rows, extra);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch(QDir::currentPath() + "/model-bench-XXXXXX");
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    qputenv("XDG_DATA_HOME", QFile::encodeName(root));
    std::printf("data folder: %s\n", qPrintable(Database::GetFolder()));

    sqlite3* db = freshDatabase();
    storeMessages(db, 10000);
    const double load = loadMessages();
    report("load 10,000 messages with 5 parameters (median of 5)", load);
    const double floor = loadFloor();
    char ratio[80];
    std::snprintf(ratio, sizeof ratio, "(%.2fx; goal: at most 3x)", load / floor);
    report("  floor: the same rows by two prepared statements", floor, ratio);

    db = freshDatabase();
    Message::CreateSchema(db);
    Database::Commit(db);
    const double commit = oneCommit(db);
    report("one fsync'd commit (median of 50)", commit);
    const double save = saveMessages(1000);
    char extra[80];
    std::snprintf(extra, sizeof extra, "(%.2f ms each, %.2f commits' worth)", save / 1000, save / 1000 / commit);
    report("save 1,000 new messages", save, extra);
    const double saveBare = saveFloor(1000);
    std::snprintf(extra, sizeof extra, "(%.2fx)", save / saveBare);
    report("  floor: the same rows by prepared statements, one commit", saveBare, extra);

    importTova("many messages", true, commit);
    importTova("one record of many fields", false, commit);
    Database::Close();
    return 0;
}
