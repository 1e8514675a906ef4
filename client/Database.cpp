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
    case SQLITE_NOTADB: return true;
    default: return false;
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

// The batches open on a connection: commits wait while any lives.
struct BatchState {
    sqlite3* db = nullptr;
    int depth = 0;
    bool pending = false;  // a commit was asked for while waiting
};

BatchState& batchState()
{
    static BatchState b;
    return b;
}

bool insideBatch(sqlite3* db)
{
    return db && batchState().depth > 0 && batchState().db == db;
}

void noteFailure(sqlite3* db, int rc)
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    if (insideAtomicWork(db))
        atomicWork().failed = true;
    if (db && isStorageFailure(rc))
        noteStorageFailure(db);
}

// COMMIT, then BEGIN EXCLUSIVE when the commit succeeded.
bool commitNow(sqlite3* db)
{
    int error = 0;
    Database::Query(QStringLiteral("COMMIT"), db, &error);
    if (error != SQLITE_OK)
        return false;
    Database::Query(QStringLiteral("BEGIN EXCLUSIVE"), db);
    return true;
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

QString Database::GetFolder(QString* error)
{
    return platform::dataFolder(error);
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
    QString error = QStringLiteral("the data folder cannot be found");
    const QString folder = GetFolder(&error);
    if (folder.size() < 3)
        throw StorageException(QStringLiteral("Unable to open database file: ") + error);

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
    noteFailure(db, rc);
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
    const Rows rows =
        Query(platform::formatText(QStringLiteral("SELECT MAX(%s)+1 AS NEXT FROM %s"), column, table), db, &error);
    if (error != SQLITE_OK)
        return {};
    const QString next = rows.empty() ? QString() : GetField(rows.front(), QStringLiteral("NEXT"));
    return next.isEmpty() ? QStringLiteral("1") : next;
}

bool Database::Commit(sqlite3* db)
{
    if (insideAtomicWork(db))
        return true;
    // Half a save must not become durable (settings deleted and not written again). A batch
    // rolls back at once too: a caller that reloads after the failure must read what stays.
    if (storageFailure().sinceCommit) {
        storageFailure().sinceCommit = false;
        if (insideBatch(db))
            batchState().pending = false;
        rollBack(db, "ROLLBACK");
        return false;
    }
    if (insideBatch(db)) {
        batchState().pending = true;
        return true;
    }
    if (commitNow(db))
        return true;
    // A COMMIT the file refused may leave the transaction open; what it held is lost, and
    // a caller that reloads must not read it.
    if (storageFailure().sinceCommit) {
        storageFailure().sinceCommit = false;
        rollBack(db, "ROLLBACK");
    }
    return false;
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
    if (error == SQLITE_OK && !storageFailure().sinceCommit && commitNow(db)) {
        if (insideBatch(db))
            batchState().pending = false;  // what the batch held went with this commit
        return true;
    }
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

// A batch on a second connection while one is open on the first does not wait: the two
// would share the one pending mark.
Database::Batch::Batch(sqlite3* db) : db_(db)
{
    BatchState& b = batchState();
    if (db == nullptr || (b.depth > 0 && b.db != db)) {
        finished_ = true;
        return;
    }
    if (b.depth++ == 0) {
        b.db = db;
        b.pending = false;
    }
}

Database::Batch::~Batch()
{
    Finish();
}

bool Database::Batch::Finish()
{
    if (finished_)
        return true;
    finished_ = true;
    BatchState& b = batchState();
    if (--b.depth > 0)
        return true;
    const bool pending = b.pending;
    b.db = nullptr;
    b.pending = false;
    return !pending || Commit(db_);
}

Database::Statement::Statement(sqlite3* db, const char* sql) : db_(db)
{
    error_ = db ? sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) : SQLITE_MISUSE;
    noteFailure(db, error_);
}

Database::Statement::~Statement()
{
    sqlite3_finalize(statement_);
}

Database::Statement& Database::Statement::Bind(int index, const QString& text)
{
    if (statement_ != nullptr) {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(statement_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

Database::Statement& Database::Statement::Bind(int index, qint64 number)
{
    if (statement_ != nullptr)
        sqlite3_bind_int64(statement_, index, number);
    return *this;
}

bool Database::Statement::Run()
{
    if (statement_ == nullptr)
        return false;
    int rc = sqlite3_step(statement_);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(statement_);
    sqlite3_reset(statement_);
    error_ = rc == SQLITE_DONE ? SQLITE_OK : rc;
    noteFailure(db_, error_);
    return error_ == SQLITE_OK;
}

bool Database::Statement::Next()
{
    if (statement_ == nullptr)
        return false;
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    error_ = rc == SQLITE_DONE ? SQLITE_OK : rc;
    noteFailure(db_, error_);
    return false;
}

void Database::Statement::Reset()
{
    if (statement_ != nullptr)
        sqlite3_reset(statement_);
}

QString Database::Statement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement_, column)) : QString();
}

}  // namespace client
