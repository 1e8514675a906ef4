#pragma once

#include "client/RecordMap.h"

#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace client {

// Thrown when the message database cannot be opened or locked.
class StorageException {
public:
    explicit StorageException(QString message, int sqliteCode = 0, QString path = {})
        : message_(std::move(message)), path_(std::move(path)), sqliteCode_(sqliteCode)
    {}
    const QString& message() const { return message_; }
    // The file, when one was opened.
    const QString& path() const { return path_; }
    // SQLite's reason ("file is not a database"), without our words around it.
    const QString& reason() const { return reason_; }
    void setReason(const QString& reason) { reason_ = reason; }
    // The file is there but is no sound database (SQLITE_CORRUPT, SQLITE_NOTADB), as
    // opposed to one that another process holds.
    bool IsDamaged() const;
    // Another process holds the lock (SQLITE_BUSY, SQLITE_LOCKED).
    bool IsHeldByAnother() const;

private:
    QString message_;
    QString path_;
    QString reason_;
    int sqliteCode_;
};

// The one connection to brevant.dat. It holds an exclusive transaction for the whole run:
// every save commits and at once begins the next exclusive transaction, so no other
// process can write the file while the client runs, and each save is durable on return.
class Database {
public:
    using Rows = std::vector<RecordMap>;

    // The shared data folder, created when missing; empty, with `error` saying why, when it
    // cannot be made.
    static QString GetFolder(QString* error = nullptr);

    // The connection, opened on first use; throws StorageException when that fails (a later
    // call tries again). Closed once at process exit, without a final commit.
    static sqlite3* Instance();

    // Opens `fileName` in the data folder and takes the exclusive lock. Throws
    // StorageException, leaving no connection behind, when either fails.
    static sqlite3* Open(const QString& fileName);

    // Runs one or more statements. On an SQLite error returns the rows gathered so far and
    // stores the error code in `error`; 0 on success. Never throws.
    static Rows Query(const QString& sql, sqlite3* db, int* error = nullptr);

    // Runs `statements` one by one, as the record types create their tables and indexes;
    // stops at the first that fails and returns false, leaving what ran before it.
    static bool Execute(std::initializer_list<const char*> statements, sqlite3* db);

    // Doubles every apostrophe, for use inside '...' literals.
    static QString Quote(const QString& text);

    // MAX(column)+1 of the table, "1" for an empty table, empty text on an error.
    static QString NextId(const QString& column, sqlite3* db, const QString& table);

    // COMMIT, then BEGIN EXCLUSIVE when the commit succeeded; false when the commit failed.
    // Inside RunAtomically it waits for the end of the whole work.
    static bool Commit(sqlite3* db);

    // Runs `work` as one piece: the commits of the saves it makes wait for its end, and
    // when `work` returns false or any statement inside it fails, all it wrote is rolled
    // back. True when everything it wrote was committed.
    static bool RunAtomically(sqlite3* db, const std::function<bool()>& work);

    // Closes the connection made by Instance() now (process exit does this otherwise).
    static void Close();

    // While one lives, the saves' commits on its connection wait; the last one to end makes
    // them one commit, so a check or a list's save costs one sync, not one for each row it
    // writes. RunAtomically's own commit is never held back: a caller that deletes a file
    // after it relies on that.
    class Batch {
    public:
        explicit Batch(sqlite3* db);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Ends the batch now; false when its commit failed (true when nothing waited).
        bool Finish();

    private:
        sqlite3* db_;
        bool finished_ = false;
    };

    // One statement prepared once and run for many rows, its values bound rather than
    // quoted into the text. A failed step fails an enclosing RunAtomically as Query does.
    class Statement {
    public:
        Statement(sqlite3* db, const char* sql);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        bool IsValid() const { return statement_ != nullptr; }
        // Values by position, from 1; the texts are copied.
        Statement& Bind(int index, const QString& text);
        Statement& Bind(int index, qint64 number);
        // Runs a statement that returns no rows; ready to be bound and run again.
        bool Run();
        // The next row; false at the end and on an error. Reset() makes it ready again.
        bool Next();
        void Reset();
        // Columns of the current row, from 0, as the texts sqlite3_exec would give.
        QString Text(int column) const;
        // SQLITE_OK, or the error of the last step.
        int Error() const { return error_; }

    private:
        sqlite3* db_;
        sqlite3_stmt* statement_ = nullptr;
        int error_ = 0;
    };

    // Called on the first statement of the run that fails because the file cannot be
    // written or read (read-only, full, damaged, an I/O error), with the file's path and
    // SQLite's message; later failures are not passed on. Until the next commit the save is
    // lost: that commit rolls back what the save wrote before it failed.
    using FailureReporter = std::function<void(const QString& path, const QString& message)>;
    static void SetFailureReporter(FailureReporter reporter);
};

}  // namespace client
