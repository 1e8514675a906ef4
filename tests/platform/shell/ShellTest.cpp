#include "platform/shell/Shell.h"

#include "tests/support/RecordingOpener.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFileInfo>

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
