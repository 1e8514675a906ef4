// Any bytes as a registration file, read and imported into a fresh in-memory database. The
// import is whole or nothing: when it fails, no table holds a row and the model is as it
// was; when it succeeds, the database holds exactly the records the model gained.
#include "client/Database.h"
#include "client/MfgrModel.h"
#include "client/TovaImport.h"
#include "client/TovaReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace client;

namespace {

int rowsIn(sqlite3* db, const char* table)
{
    int error = 0;
    const Database::Rows rows =
        Database::Query(QStringLiteral("SELECT COUNT(*) AS n FROM %1").arg(QLatin1String(table)), db, &error);
    return error != 0 || rows.empty() ? 0 : GetField(rows.front(), QStringLiteral("n")).toInt();
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir* folder = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
        return new QTemporaryDir(QDir::tempPath() + QStringLiteral("/tova-fuzz-XXXXXX"));
    }();
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const TovaReader reader = TovaReader::Read(buffer);
    if (reader.lineCount < 0)
        fail("negative line count");

    const QString path = folder->path() + QStringLiteral("/input.tova");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("cannot write the input file");
    file.close();

    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK)
        fail("cannot open an in-memory database");
    sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    MfgrModel model;
    const bool imported = ImportTovaFile(model, path, db, false);
    const char* tables[] = {"Manufacturer", "Channel",      "ChannelField", "RegRecord",
                            "RegField",     "Subscription", "Message",      "MessageParam"};
    if (!imported) {
        if (!QFile::exists(path))
            fail("a file that was not imported was deleted");
        if (!model.entries.empty() || model.importedMessages.Count() != 0)
            fail("a failed import changed the model");
        for (const char* table : tables)
            if (rowsIn(db, table) != 0)
                fail("a failed import left rows behind");
    } else {
        if (QFile::exists(path))
            fail("an imported file was kept");
        size_t records = 0;
        for (const MfgrEntry& entry : model.entries)
            records += entry.records.size();
        if (rowsIn(db, "RegRecord") != int(records))
            fail("the database and the model disagree on the records");
        if (model.entries.size() != 1 || rowsIn(db, "Manufacturer") != 1)
            fail("an import must store exactly its one manufacturer");
    }
    sqlite3_close(db);
    QFile::remove(path);
    return 0;
}
