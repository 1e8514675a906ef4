#include "RegWindTestSupport.h"

#include "launcher/registration/PrivatePrefs.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/RegWind.h"

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/QmStringList.h"
#include "regengine/core/SmartFile.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>

using namespace engine;

namespace {

FieldList pageFields()
{
    FieldList fields;
    fields.SetField(FourCC("LNAM"), QStringLiteral("Þórsdóttir"));
    fields.SetField(FourCC("FNAM"), QStringLiteral("Anna"));
    fields.SetField(FourCC("CITY"), QStringLiteral("東京"));
    fields.SetField(FourCC("SRNM"), QStringLiteral("SN-1234"));
    return fields;
}

QByteArray engineFile(const QString& name)
{
    return testsupport::readFile(QDir(EngineFolder()).filePath(name));
}

}  // namespace

TEST(PrivatePrefs, ListedFieldsAsLatin1LinesWithCrLf)
{
    QmStringList list;
    list.AddString(QStringLiteral("LNAM"));
    list.AddString(QStringLiteral("FNAM and the rest of the item"));
    list.AddString(QStringLiteral("XXXX"));
    list.AddString(QStringLiteral("CITY"));
    ASSERT_TRUE(launcher::SavePrivatePrefs(QStringLiteral("private.txt"), pageFields(), &list));
    EXPECT_EQ(engineFile(QStringLiteral("private.txt")),
              QByteArray("LNAM:\xDE\xF3rsd\xF3ttir\r\nFNAM:Anna\r\nXXXX:\r\nCITY:??\r\n"));

    // Without a list: the serial number alone; an empty one still makes its line.
    ASSERT_TRUE(launcher::SavePrivatePrefs(QStringLiteral("\\private.txt"), pageFields(), nullptr));
    EXPECT_EQ(engineFile(QStringLiteral("private.txt")), QByteArray("SRNM:SN-1234\r\n"));
    ASSERT_TRUE(launcher::SavePrivatePrefs(QStringLiteral("private.txt"), FieldList(), nullptr));
    EXPECT_EQ(engineFile(QStringLiteral("private.txt")), QByteArray("SRNM:\r\n"));
    EXPECT_FALSE(launcher::SavePrivatePrefs(QString(), pageFields(), nullptr));
}

// A name from the page script can never put the file outside the engine folder.
TEST(PrivatePrefs, NameCannotLeaveTheEngineFolder)
{
    const QString folder = EngineFolder();
    ASSERT_FALSE(folder.isEmpty());
    const char* names[] = {"../escape.txt",  "..\\escape.txt",  "\\..\\escape.txt",
                           "sub/escape.txt", "/tmp/escape.txt", "..",
                           "//escape.txt",   "a\\b.txt"};
    for (const char* name : names) {
        EXPECT_TRUE(launcher::PrivatePrefsFileName(QString::fromLatin1(name)).isEmpty()) << name;
        EXPECT_FALSE(launcher::SavePrivatePrefs(QString::fromLatin1(name), pageFields(), nullptr)) << name;
    }
    QDirIterator it(testsupport::sandboxRoot(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        EXPECT_FALSE(it.next().endsWith(QStringLiteral("escape.txt"))) << it.filePath().toStdString();
    EXPECT_EQ(launcher::PrivatePrefsFileName(QStringLiteral("/private.txt")), QStringLiteral("private.txt"));
}

// The window's end keeps the fields the script's list "privatePrefFields" names; a script
// without the list leaves the file as a registration wrote it.
TEST(PrivatePrefs, TheWindowsEndKeepsTheListedFields)
{
    const QString head = QStringLiteral(
        ">WIND HOLD 0 0 200 100 0x00020000 Window caption\n"
        ">SETHEADER pvPR keep.txt\n");
    auto listed = regwindtest::runScript(head + QStringLiteral(">LIST privatePrefFields\nFNAM\nSRNM\n>END\n"));
    ASSERT_NE(listed->GetWindow(), nullptr);
    listed->GetWindow()->GetList(launcher::RegWind::PageFields)->SetField(FourCC("FNAM"), QStringLiteral("Anna"));
    listed->GetWindow()->GetList(launcher::RegWind::PageFields)->SetField(FourCC("SRNM"), QStringLiteral("SN-1"));
    listed.reset();
    EXPECT_EQ(engineFile(QStringLiteral("keep.txt")), QByteArray("FNAM:Anna\r\nSRNM:SN-1\r\n"));

    auto unlisted = regwindtest::runScript(head + QStringLiteral(">END\n"));
    ASSERT_NE(unlisted->GetWindow(), nullptr);
    unlisted.reset();
    EXPECT_EQ(engineFile(QStringLiteral("keep.txt")), QByteArray("FNAM:Anna\r\nSRNM:SN-1\r\n"));
}
