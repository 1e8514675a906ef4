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
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE && insideAtomicWork(db))
        atomicWork().failed = true;
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

    const QByteArray path = (folder + u'/' + fileName).toUtf8();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = errorText(db);
        sqlite3_close(db);
        throw StorageException(platform::formatText(QStringLiteral("Unable to open database file: %s"), message));
    }
    // No busy handler: a file that another process holds fails at once.
    if (sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString message = errorText(db);
        sqlite3_close(db);
        throw StorageException(platform::formatText(QStringLiteral("Unable to lock database file: %s"), message));
    }
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
    if (insideBatch(db)) {
        batchState().pending = true;
        return true;
    }
    return commitNow(db);
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
        sqlite3_exec(db, "ROLLBACK TO atomicWork; RELEASE atomicWork", nullptr, nullptr, nullptr);
        if (sqlite3_get_autocommit(db))
            sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    } else {
        Query(QStringLiteral("RELEASE atomicWork"), db, &error);
    }
    if (!outermost)
        return keep;
    w.db = nullptr;
    w.failed = false;
    if (!keep)
        return false;
    if (error == SQLITE_OK && commitNow(db)) {
        if (insideBatch(db))
            batchState().pending = false;  // what the batch held went with this commit
        return true;
    }
    // A commit that failed may leave the work pending, to be made durable by the next save.
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (sqlite3_get_autocommit(db))
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    return false;
}

void Database::Close()
{
    connection().close();
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

Database::Batch::~Batch() { Finish(); }

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

Database::Statement::~Statement() { sqlite3_finalize(statement_); }

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
