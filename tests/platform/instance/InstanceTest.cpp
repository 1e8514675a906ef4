#include "platform/instance/Instance.h"
#include "platform/shell/Shell.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <functional>
#include <memory>

#include <sys/stat.h>

using platform::NamedMutex;
using platform::SharedBlock;

namespace {

const QString kMutexName = QStringLiteral("Local\\Local\\{9a865c16-56e3-47b6-b37a-92a9874d3324}_mutex");

// A running instance_peer; killed when the test lets go of it.
struct Peer : testsupport::LinePeer {
    explicit Peer(const QStringList& args) : LinePeer(QStringLiteral(OVEX_INSTANCE_PEER), args) {}
};

TEST(KernelObjectPath, NamesBecomeFilesInTheRuntimeFolder)
{
    const QString folder = platform::tempFolder();
    ASSERT_EQ(folder, QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + "/ovex-kelvo");
    const struct {
        const char* what;
        QString name;
        QString suffix;
        QString file;
    } cases[] = {
        {"backslashes", kMutexName, ".lock", "Local_Local_{9a865c16-56e3-47b6-b37a-92a9874d3324}_mutex.lock"},
        {"slashes cannot climb out", "a/../../b", ".shm", "a_.._.._b.shm"},
        {"control characters",
         QString::fromUtf8("t\tn\nd\x7f"
                           "e"),
         ".lock", "t_n_d_e.lock"},
        {"non-ASCII kept", QString::fromUtf8("Zürich Ω"), ".sock", QString::fromUtf8("Zürich Ω.sock")},
        {"dot-dot alone", "..", "", "___"},
        {"dot alone", ".", "", "__"},
        {"empty", "", "", "_"},
    };
    for (const auto& c : cases) {
        const QString path = platform::kernelObjectPath(c.name, c.suffix);
        EXPECT_EQ(path, folder + "/" + c.file) << c.what;
    }
}

TEST(NamedMutex, SecondHolderInTheSameProcessSeesAlreadyExists)
{
    NamedMutex first, second;
    ASSERT_EQ(first.create(kMutexName), NamedMutex::Result::Created);
    EXPECT_TRUE(first.isOpen());
    EXPECT_EQ(second.create(kMutexName), NamedMutex::Result::AlreadyExists);
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(second.create(kMutexName), NamedMutex::Result::Created);
}

TEST(NamedMutex, LockFileThatCannotBeOpenedFails)
{
    const QString path = platform::kernelObjectPath("in the way", ".lock");
    ASSERT_TRUE(QDir().mkpath(path));
    NamedMutex mutex;
    QString error;
    EXPECT_EQ(mutex.create("in the way", &error), NamedMutex::Result::Failed);
    EXPECT_FALSE(mutex.isOpen());
    EXPECT_EQ(error.toStdString(), "Unable to open the lock file " + path.toStdString() + ": Is a directory");

    // Held elsewhere is an outcome, not a failure: no words for it.
    NamedMutex first, second;
    ASSERT_EQ(first.create(kMutexName), NamedMutex::Result::Created);
    error = "untouched";
    EXPECT_EQ(second.create(kMutexName, &error), NamedMutex::Result::AlreadyExists);
    EXPECT_EQ(error.toStdString(), "untouched");
}

// The whole life of the lock across processes: held elsewhere, freed by a kill -9,
// then ours, and refused to the next process.
TEST(NamedMutex, HeldByAnotherProcessUntilItIsKilled)
{
    Peer holder({"hold", kMutexName});
    ASSERT_EQ(holder.line(), "created");

    NamedMutex mutex;
    EXPECT_EQ(mutex.create(kMutexName), NamedMutex::Result::AlreadyExists);

    holder.killHard();
    ASSERT_EQ(mutex.create(kMutexName), NamedMutex::Result::Created);

    Peer late({"hold", kMutexName});
    EXPECT_EQ(late.line(), "exists");
    EXPECT_TRUE(late.process.waitForFinished(5000));
    EXPECT_EQ(late.process.exitCode(), 1);
}

TEST(SharedBlock, WrittenByOneProcessReadByAnother)
{
    SharedBlock block;
    ASSERT_TRUE(block.create("Local\\block", 8));
    ASSERT_EQ(block.size(), 8);
    for (int i = 0; i < 8; ++i)
        block.data()[i] = static_cast<unsigned char>(0x11 * (i + 1));

    Peer reader({"swap-block", "Local\\block"});
    EXPECT_EQ(reader.line(), "8 1122334455667788");
    ASSERT_TRUE(reader.process.waitForFinished(5000));
    ASSERT_EQ(reader.process.exitCode(), 0);

    // And what the other process wrote shows in our mapping.
    const unsigned char expected[8] = {0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7};
    EXPECT_EQ(std::memcmp(block.data(), expected, 8), 0);
}

// A process that still maps the old block must not die when the next first instance
// re-creates it smaller, and the new block starts zeroed.
TEST(SharedBlock, RecreatingLeavesOldMappingsIntactAndZeroes)
{
    SharedBlock old;
    ASSERT_TRUE(old.create("Local\\block", 16384));
    std::memset(old.data(), 0xff, 16384);

    SharedBlock fresh;
    ASSERT_TRUE(fresh.create("Local\\block", 8));
    EXPECT_EQ(old.data()[12000], 0xff);  // a page past the new end

    SharedBlock opened;
    ASSERT_TRUE(opened.open("Local\\block"));
    ASSERT_EQ(opened.size(), 8);
    const unsigned char zero[8] = {};
    EXPECT_EQ(std::memcmp(opened.data(), zero, 8), 0);

    opened.data()[0] = 42;
    EXPECT_EQ(fresh.data()[0], 42);
    opened.close();
    EXPECT_FALSE(opened.isMapped());
    EXPECT_EQ(opened.data(), nullptr);
    EXPECT_EQ(opened.size(), 0);
}

TEST(SharedBlock, RefusesWhatIsNotAUsableBlock)
{
    const QString dir = platform::tempFolder();
    testsupport::writeFile(platform::kernelObjectPath("empty", ".shm"), {});
    testsupport::writeFile(platform::kernelObjectPath("huge", ".shm"), QByteArray(64 * 1024 + 1, 'x'));
    testsupport::writeFile(platform::kernelObjectPath("largest", ".shm"), QByteArray(64 * 1024, 'x'));
    testsupport::writeFile(dir + "/elsewhere", "12345678");
    ASSERT_TRUE(QFile::link(dir + "/elsewhere", platform::kernelObjectPath("link", ".shm")));
    ASSERT_TRUE(QDir().mkpath(platform::kernelObjectPath("folder", ".shm")));

    const struct {
        const char* name;
        bool opens;
        const char* reason;  // after the path; nothing said when it opens
    } opens[] = {
        {"missing", false, ": No such file or directory"},
        {"empty", false, ": it is not a file of 1 to 65536 bytes"},
        {"huge", false, ": it is not a file of 1 to 65536 bytes"},
        {"largest", true, ""},
        {"link", false, ": Too many levels of symbolic links"},
        {"folder", false, ": Is a directory"},
    };
    for (const auto& c : opens) {
        SharedBlock block;
        QString error;
        EXPECT_EQ(block.open(c.name, &error), c.opens) << c.name;
        EXPECT_EQ(block.isMapped(), c.opens) << c.name;
        const QString expected =
            c.opens ? QString()
                    : "Unable to open the shared block " + platform::kernelObjectPath(c.name, ".shm") + c.reason;
        EXPECT_EQ(error.toStdString(), expected.toStdString()) << c.name;
    }

    for (int size : {0, -1, 64 * 1024 + 1}) {
        SharedBlock block;
        QString error;
        EXPECT_FALSE(block.create("sized", size, &error)) << size;
        EXPECT_FALSE(block.isMapped()) << size;
        EXPECT_EQ(error,
                  QStringLiteral("Unable to make the shared block \"sized\": %1 bytes is not a size from 1 to 65536")
                      .arg(size));
    }
    SharedBlock block;
    QString error;
    EXPECT_FALSE(block.create("folder", 8, &error));
    EXPECT_EQ(error, "Unable to make the shared block " + platform::kernelObjectPath("folder", ".shm") +
                         ": rename: Is a directory");
}

// Without a per-user folder for them, every kernel object says so rather than going elsewhere.
TEST(KernelObjectPath, NoRuntimeOrCacheFolderIsReported)
{
    testsupport::writeFile(testsupport::sandboxRoot() + "/blocked", "a file, not a folder");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(testsupport::sandboxRoot() + "/blocked/cache"));
    qunsetenv("XDG_RUNTIME_DIR");
    const QString reason = "Unable to make the folder " + testsupport::sandboxRoot() + "/blocked/cache for " +
                           testsupport::sandboxRoot() + "/blocked/cache/ovex-kelvo/tmp: Not a directory";
    NamedMutex mutex;
    SharedBlock block;
    platform::WindowRaiseServer server;
    const struct {
        const char* what;
        std::function<bool(QString*)> run;
    } cases[] = {
        {"mutex", [&](QString* e) { return mutex.create("m", e) != NamedMutex::Result::Failed; }},
        {"block made", [&](QString* e) { return block.create("b", 8, e); }},
        {"block opened", [&](QString* e) { return block.open("b", e); }},
        {"raise server", [&](QString* e) { return server.listen("w", e) != 0; }},
        {"raise request", [&](QString* e) { return platform::requestWindowRaise("w", 1, 1000, e); }},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(c.run(&error)) << c.what;
        EXPECT_EQ(error.toStdString(), reason.toStdString()) << c.what;
    }
}

// As the client does it: the first instance publishes its token in a shared block, the
// second reads it and asks the first to come to the front.
TEST(WindowRaise, AnotherProcessRaisesTheOwner)
{
    Peer owner({"listen", "Local\\window", "Local\\token"});
    ASSERT_EQ(owner.line(), "listening");
    SharedBlock block;
    ASSERT_TRUE(block.open("Local\\token"));
    quint32 token = 0;
    std::memcpy(&token, block.data(), sizeof token);
    ASSERT_NE(token, 0u);

    EXPECT_FALSE(platform::requestWindowRaise("Local\\window", token + 1, 1000));
    EXPECT_FALSE(platform::requestWindowRaise("Local\\other", token, 1000));
    EXPECT_TRUE(platform::requestWindowRaise("Local\\window", token, 5000));
    EXPECT_EQ(owner.line(), "raised");
    ASSERT_TRUE(owner.process.waitForFinished(5000));
    EXPECT_EQ(owner.process.exitCode(), 0);
}

TEST(WindowRaise, DeadOrMissingOwnerAnswersFalse)
{
    QString error;
    EXPECT_FALSE(platform::requestWindowRaise("Local\\window", 0, 1000, &error));
    EXPECT_EQ(error, "Unable to raise the window \"Local\\window\": its owner published no token");

    Peer owner({"listen", "Local\\window", "Local\\token"});
    ASSERT_EQ(owner.line(), "listening");
    SharedBlock block;
    ASSERT_TRUE(block.open("Local\\token"));
    quint32 token = 0;
    std::memcpy(&token, block.data(), sizeof token);
    owner.killHard();
    // The killed owner left its socket file behind; nobody accepts on it.
    const QString path = platform::windowRaiseSocketPath("Local\\window", token);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(platform::requestWindowRaise("Local\\window", token, 1000, &error));
    EXPECT_TRUE(error.startsWith("Unable to raise the window through " + path + ": ")) << error.toStdString();
    EXPECT_TRUE(error.contains("refused")) << error.toStdString();
}

// An owner that hangs accepts the connection (the kernel does) but never answers.
TEST(WindowRaise, OwnerThatNeverAnswersTimesOut)
{
    QLocalServer hung;
    const QString path = platform::windowRaiseSocketPath("Local\\window", 0x1234);
    ASSERT_TRUE(hung.listen(path));
    QString error;
    EXPECT_FALSE(platform::requestWindowRaise("Local\\window", 0x1234, 200, &error));
    EXPECT_EQ(error, "Unable to raise the window through " + path + ": no answer within 200 ms");
}

// The server end, driven from this process by a plain socket so that each request is
// exactly the bytes given.
TEST(WindowRaise, ServerAnswersOnlyTheRaiseRequest)
{
    platform::WindowRaiseServer server;
    const QString longName = QString(200, u'n');
    const struct {
        const char* what;
        QString name;
        QList<QByteArray> writes;
        int raises;
        QByteArray reply;
    } cases[] = {
        {"request", "Local\\window", {"raise\n"}, 1, "ok\n"},
        {"request in pieces", "Local\\window", {"ra", "ise\n"}, 1, "ok\n"},
        {"long name gets a short socket", longName, {"raise\n"}, 1, "ok\n"},
        {"unknown request", "Local\\window", {"lower\n"}, 0, ""},
        {"endless line", "Local\\window", {QByteArray(100, 'x')}, 0, ""},
    };
    for (const auto& c : cases) {
        const quint32 token = server.listen(c.name);
        ASSERT_NE(token, 0u) << c.what;
        EXPECT_EQ(server.token(), token);
        const QString path = platform::windowRaiseSocketPath(c.name, token);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << c.what;
        EXPECT_EQ(st.st_mode & 077, 0u) << c.what << ": socket open to others";

        QSignalSpy raised(&server, &platform::WindowRaiseServer::raiseRequested);
        QLocalSocket client;
        QByteArray reply;
        QObject::connect(&client, &QLocalSocket::readyRead, [&] { reply += client.readAll(); });
        client.connectToServer(path);
        ASSERT_TRUE(client.waitForConnected(5000)) << c.what;
        for (const QByteArray& piece : c.writes) {
            client.write(piece);
            client.flush();
            QTest::qWait(20);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 5000))
            << c.what << ": server did not close";
        reply += client.readAll();
        EXPECT_EQ(raised.count(), c.raises) << c.what;
        EXPECT_EQ(reply, c.reply) << c.what;
    }
}

}  // namespace
