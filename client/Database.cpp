#include "client/Database.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

#include <sqlite3.h>

namespace client {

namespace {

// Holds the connection for the process; its destructor is the close at exit. The
// transaction still open then is rolled back by SQLite, as nothing after the last save
// was meant to last.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { close(); }
    void close()
    {
        if (db) {
            sqlite3_close(db);
            db = nullptr;
        }
    }
};

Connection& connection()
{
    static Connection c;
    return c;
}

// The work of RunAtomically in progress on a connection: commits wait for its end, and a
// statement that fails inside it makes it roll back.
struct AtomicWork {
    sqlite3* db = nullptr;
    int depth = 0;
    bool failed = false;
};

AtomicWork& atomicWork()
{
    static AtomicWork w;
    return w;
}

// A statement failed for want of a file that works; what was written since the last
// commit is then no whole save.
struct StorageFailure {
    bool sinceCommit = false;
    bool reported = false;
    Database::FailureReporter reporter;
};

StorageFailure& storageFailure()
{
    static StorageFailure f;
    return f;
}

bool isStorageFailure(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
        return true;
    default:
        return false;
    }
}

void noteStorageFailure(sqlite3* db)
{
    StorageFailure& f = storageFailure();
    f.sinceCommit = true;
    if (f.reported || !f.reporter)
        return;
    f.reported = true;
    const char* file = sqlite3_db_filename(db, "main");
    f.reporter(file ? QString::fromUtf8(file) : QString(), QString::fromUtf8(sqlite3_errmsg(db)));
}

// Puts the lock back after a rollback that ended the transaction.
void rollBack(sqlite3* db, const char* sql)
{
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(db))
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
}

bool insideAtomicWork(sqlite3* db)
{
    return db && atomicWork().depth > 0 && atomicWork().db == db;
}

int collectRow(void* context, int columns, char** values, char** names)
{
    auto* rows = static_cast<Database::Rows*>(context);
    RecordMap row;
    for (int i = 0; i < columns; ++i)
        row.insert(QString::fromUtf8(names[i]), values[i] ? QString::fromUtf8(values[i]) : QString());
    rows->push_back(std::move(row));
    return 0;
}

QString errorText(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

}  // namespace

bool StorageException::IsDamaged() const
{
    const int primary = sqliteCode_ & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool StorageException::IsHeldByAnother() const
{
    const int primary = sqliteCode_ & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

QString Database::GetFolder()
{
    return platform::dataFolder();
}

sqlite3* Database::Instance()
{
    Connection& c = connection();
    if (!c.db)
        c.db = Open(QStringLiteral("brevant.dat"));
    return c.db;
}

sqlite3* Database::Open(const QString& fileName)
{
    const QString folder = GetFolder();
    if (folder.size() < 3)
        throw StorageException(QStringLiteral("Unable to open database file: the data folder cannot be found"));

    const QString filePath = folder + u'/' + fileName;
    const QByteArray path = filePath.toUtf8();
    sqlite3* db = nullptr;
    auto fail = [&](const char* what, int rc) {
        const QString message = errorText(db);
        sqlite3_close(db);
        StorageException e(platform::formatText(QString::fromLatin1(what), message), rc, filePath);
        e.setReason(message);
        throw e;
    };
    const int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        fail("Unable to open database file: %s", rc);
    // No busy handler: a file that another process holds fails at once. Taking the lock
    // reads the file's first page, so a file that is no database fails here too.
    const int locked = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    if (locked != SQLITE_OK)
        fail("Unable to lock database file: %s", locked);
    return db;
}

Database::Rows Database::Query(const QString& sql, sqlite3* db, int* error)
{
    Rows rows;
    const int rc = db ? sqlite3_exec(db, sql.toUtf8().constData(), collectRow, &rows, nullptr) : SQLITE_MISUSE;
    if (rc != SQLITE_OK && insideAtomicWork(db))
        atomicWork().failed = true;
    if (db && isStorageFailure(rc))
        noteStorageFailure(db);
    if (error)
        *error = rc;
    return rows;
}

bool Database::Execute(std::initializer_list<const char*> statements, sqlite3* db)
{
    for (const char* sql : statements) {
        int error = 0;
        Query(QString::fromLatin1(sql), db, &error);
        if (error != 0)
            return false;
    }
    return true;
}

QString Database::Quote(const QString& text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return quoted;
}

QString Database::NextId(const QString& column, sqlite3* db, const QString& table)
{
    int error = 0;
    const Rows rows = Query(platform::formatText(QStringLiteral("SELECT MAX(%s)+1 AS NEXT FROM %s"), column, table), db,
                            &error);
    if (error != SQLITE_OK)
        return {};
    const QString next = rows.empty() ? QString() : GetField(rows.front(), QStringLiteral("NEXT"));
    return next.isEmpty() ? QStringLiteral("1") : next;
}

bool Database::Commit(sqlite3* db)
{
    if (insideAtomicWork(db))
        return true;
    // Half a save must not become durable (settings deleted and not written again).
    if (storageFailure().sinceCommit) {
        storageFailure().sinceCommit = false;
        rollBack(db, "ROLLBACK");
        return false;
    }
    int error = 0;
    Query(QStringLiteral("COMMIT"), db, &error);
    if (error != SQLITE_OK)
        return false;
    Query(QStringLiteral("BEGIN EXCLUSIVE"), db);
    return true;
}

// A savepoint inside the exclusive transaction; the saves' commits are held back until the
// end, since a COMMIT would also commit the savepoint. SQLite rolls a whole transaction
// back by itself on some errors (a full disk); the lock is then taken again.
bool Database::RunAtomically(sqlite3* db, const std::function<bool()>& work)
{
    if (!db)
        return false;
    AtomicWork& w = atomicWork();
    if (w.depth > 0 && w.db != db)
        return false;
    const bool outermost = w.depth == 0;
    if (outermost) {
        w.db = db;
        w.failed = false;
    }
    int error = 0;
    Query(QStringLiteral("SAVEPOINT atomicWork"), db, &error);
    if (error != SQLITE_OK) {
        if (outermost)
            w.db = nullptr;
        return false;
    }
    ++w.depth;
    const bool done = work();
    --w.depth;
    const bool keep = done && !w.failed;
    if (!keep) {
        w.failed = !outermost;  // an enclosing work fails with this one
        rollBack(db, "ROLLBACK TO atomicWork; RELEASE atomicWork");
        if (outermost)
            storageFailure().sinceCommit = false;  // what failed is undone
    } else {
        Query(QStringLiteral("RELEASE atomicWork"), db, &error);
    }
    if (!outermost)
        return keep;
    w.db = nullptr;
    w.failed = false;
    if (!keep)
        return false;
    if (error == SQLITE_OK && Commit(db))
        return true;
    // A commit that failed may leave the work pending, to be made durable by the next save.
    rollBack(db, "ROLLBACK");
    storageFailure().sinceCommit = false;
    return false;
}

void Database::Close()
{
    connection().close();
    storageFailure().sinceCommit = false;
}

void Database::SetFailureReporter(FailureReporter reporter)
{
    storageFailure().reporter = std::move(reporter);
    storageFailure().reported = false;
}

}  // namespace client
