// Figures for the message store and the registration-file import, run by hand:
//   client_model_bench [folder]
// The folder (default: a new one under the current directory) should be on the disk the
// figures are meant for; tmpfs would hide the cost of the commits.
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
    }
    else {
        text += ">BeginRecord\nMFGR:OVEX\n";
        for (int i = 0; text.size() < bytes - 20; ++i)
            text += "F" + QByteArray::number(i) + ":" + QByteArray(200, 'v') + "\n";
        text += ">EndRecord\n";
    }
    return text;
}

void importTova(const char* shape, bool manyMessages)
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
    report("load 10,000 messages with 5 parameters (median of 5)", loadMessages());

    db = freshDatabase();
    Message::CreateSchema(db);
    Database::Commit(db);
    const double commit = oneCommit(db);
    report("one fsync'd commit (median of 50)", commit);
    const double save = saveMessages(1000);
    char extra[80];
    std::snprintf(extra, sizeof extra, "(%.2f ms each, %.2f commits' worth)", save / 1000, save / 1000 / commit);
    report("save 1,000 new messages, one commit each", save, extra);

    importTova("many messages", true);
    importTova("one record of many fields", false);
    Database::Close();
    return 0;
}
