#include "platform/shell/Shell.h"

#include "tests/support/RecordingOpener.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

#include <sys/stat.h>

namespace {

TEST(Shell, DataFolderIsCreatedUnderXdgDataHome)
{
    const QString expected = testsupport::sandboxRoot() + QStringLiteral("/home/.local/share/Ovex/Ovex Kelvo");
    EXPECT_FALSE(QFileInfo::exists(expected));
    EXPECT_EQ(platform::dataFolder(), expected);
    EXPECT_TRUE(QFileInfo(expected).isDir());
}

TEST(Shell, RelativeXdgValuesAreIgnored)
{
    ::setenv("XDG_DATA_HOME", "relative/share", 1);
    EXPECT_EQ(platform::dataFolder(),
              testsupport::sandboxRoot() + QStringLiteral("/home/.local/share/Ovex/Ovex Kelvo"));
}

TEST(Shell, SubFoldersWithBackslashes)
{
    EXPECT_EQ(platform::folderPath(platform::Folder::Config, QStringLiteral("a\\b")),
              testsupport::sandboxRoot() + QStringLiteral("/home/.config/a/b"));
    EXPECT_EQ(platform::folderPath(platform::Folder::Startup),
              testsupport::sandboxRoot() + QStringLiteral("/home/.config/autostart"));
}

// The temp folder is private to the user, and falls back when the runtime folder is not.
TEST(Shell, TempFolderIsPrivate)
{
    const QString t = platform::tempFolder();
    EXPECT_EQ(t, testsupport::sandboxRoot() + QStringLiteral("/run/ovex-kelvo"));
    struct stat st {};
    ASSERT_EQ(::stat(t.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ::chmod((testsupport::sandboxRoot() + "/run").toLocal8Bit().constData(), 0777);
    EXPECT_EQ(platform::tempFolder(), testsupport::sandboxRoot() + QStringLiteral("/home/.cache/ovex-kelvo/tmp"));
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::tempFolder(), testsupport::sandboxRoot() + QStringLiteral("/home/.cache/ovex-kelvo/tmp"));
}

TEST(Shell, ModulePathIsThisProgram)
{
    EXPECT_TRUE(platform::modulePath().endsWith(QStringLiteral("/shell_tests")));
    EXPECT_EQ(QFileInfo(platform::modulePath()).absolutePath(), platform::moduleDirectory());
}

// Names read from scripts and files join a folder: none may leave it.
TEST(Shell, PlainFileNamesStayInTheirFolder)
{
    for (const char* name : {"part.scr", "Ovex Kelvo.tova", ".hidden", "caf\xc3\xa9"})
        EXPECT_TRUE(platform::isPlainFileName(QString::fromUtf8(name))) << name;
    for (const char* name : {"", "..", "../x", "a/b", "/etc/passwd", "a\\b", "..\\x", "x.."})
        EXPECT_FALSE(platform::isPlainFileName(QString::fromUtf8(name))) << name;
}

// Each failure names what it is about and why; a success leaves the caller's text alone.
TEST(Shell, FailuresSayWhatAndWhy)
{
    const QString root = testsupport::sandboxRoot();
    testsupport::writeFile(root + "/home/.local/share/Ovex", "a file where a folder should be");
    testsupport::writeFile(root + "/blocked", "a file where a folder should be");
    ::setenv("XDG_CACHE_HOME", QFile::encodeName(root + "/blocked/cache").constData(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    const QString autostart = root + "/home/.config/autostart";
    ASSERT_TRUE(QDir().mkpath(autostart + "/folder.desktop"));
    struct Case {
        const char* what;
        std::function<bool(QString*)> run;
        QString message;
    };
    const Case cases[] = {
        {"data folder under a file", [](QString* e) { return !platform::dataFolder(e).isEmpty(); },
         "Unable to make the folder " + root + "/home/.local/share/Ovex/Ovex Kelvo: Not a directory"},
        {"sub-folder under a file",
         [](QString* e) { return !platform::folderPath(platform::Folder::AppData, "Ovex/a/b", true, e).isEmpty(); },
         "Unable to make the folder " + root + "/home/.local/share/Ovex/a for " + root +
             "/home/.local/share/Ovex/a/b: Not a directory"},
        {"no temp folder", [](QString* e) { return !platform::tempFolder(e).isEmpty(); },
         "Unable to make the folder " + root + "/blocked/cache for " + root +
             "/blocked/cache/ovex-kelvo/tmp: Not a directory"},
        {"temp folder through folderPath",
         [](QString* e) { return !platform::folderPath(platform::Folder::Temp, "x", true, e).isEmpty(); },
         "Unable to make the folder " + root + "/blocked/cache for " + root +
             "/blocked/cache/ovex-kelvo/tmp: Not a directory"},
        {"autostart name with a folder",
         [](QString* e) { return platform::writeAutostartEntry("../x", "/bin/true", {}, "x", e); },
         "Unable to write the autostart entry \"../x\": it is not a plain file name"},
        {"autostart entry that is a folder",
         [](QString* e) { return platform::writeAutostartEntry("folder", "/bin/true", {}, "x", e); },
         "Unable to write the autostart entry " + autostart + "/folder.desktop: Filename refers to a directory"},
        {"no entry to remove", [](QString* e) { return platform::removeAutostartEntry("none", e); },
         "Unable to remove the autostart entry " + autostart + "/none.desktop: No such file or directory"},
        {"remove name with a folder", [](QString* e) { return platform::removeAutostartEntry("a/b", e); },
         "Unable to remove the autostart entry \"a/b\": it is not a plain file name"},
        {"refused scheme", [](QString* e) { return platform::openUrl(QUrl("javascript:alert(1)"), e); },
         "Refusing to open \"javascript:alert(1)\": only http, https, mailto and file addresses are opened"},
        {"file given as a web address",
         [](QString* e) { return platform::openWebOrMailAddress(" file:///etc/passwd ", e); },
         "Refusing to open \"file:///etc/passwd\": it is not an http, https or mailto address"},
        {"web address without a host", [](QString* e) { return platform::openWebOrMailAddress("http:x", e); },
         "Refusing to open \"http:x\": it is not an http, https or mailto address"},
    };
    testsupport::RecordingOpener rec;
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(c.run(&error)) << c.what;
        EXPECT_EQ(error.toStdString(), c.message.toStdString()) << c.what;
        EXPECT_FALSE(c.run(nullptr)) << c.what;
    }
    EXPECT_TRUE(rec.opened.isEmpty());

    QString untouched = "untouched";
    EXPECT_TRUE(platform::writeAutostartEntry("entry", "/bin/true", {}, "x", &untouched));
    EXPECT_TRUE(platform::removeAutostartEntry("entry", &untouched));
    EXPECT_TRUE(platform::openWebOrMailAddress("https://example.org/", &untouched));
    EXPECT_FALSE(platform::folderPath(platform::Folder::Config, "a", true, &untouched).isEmpty());
    EXPECT_EQ(untouched.toStdString(), "untouched");
}

// The opener's own reason reaches the caller.
TEST(Shell, OpenersReasonIsPassedOn)
{
    struct Refusing final : platform::UrlOpener {
        bool open(const QUrl& url, QString* error) override
        {
            if (error != nullptr)
                *error = "Unable to open \"" + url.toString() + "\": no browser";
            return false;
        }
    } refusing;
    platform::setUrlOpener(&refusing);
    QString error;
    EXPECT_FALSE(platform::openUrl(QUrl("https://example.org/"), &error));
    platform::setUrlOpener(nullptr);
    EXPECT_EQ(error.toStdString(), "Unable to open \"https://example.org/\": no browser");
}

TEST(Shell, OpensOnlyKnownSchemes)
{
    testsupport::RecordingOpener rec;
    for (const char* ok : {"http://example.org/", "HTTPS://example.org/x", "mailto:a@b.example", "file:///tmp/x.html"})
        EXPECT_TRUE(platform::openUrl(QUrl(QString::fromLatin1(ok)))) << ok;
    for (const char* bad : {"javascript:alert(1)", "ftp://example.org/", "smb://host/share", "", "vbscript:x"})
        EXPECT_FALSE(platform::openUrl(QUrl(QString::fromLatin1(bad)))) << bad;
    EXPECT_EQ(rec.opened.size(), 4);
}

}  // namespace
