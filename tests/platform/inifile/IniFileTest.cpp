#include "tests/support/TestEnvironment.h"

#include "platform/inifile/IniFile.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

TEST(IniFile, ReadsAsTheProfileFunctionsDo)
{
    const platform::IniFile ini =
        platform::IniFile::parse(QStringLiteral("top=outside any section\n"
                                                "[Setup]\r\n"
                                                "  Model  =  Probook 450  \r\n"
                                                "Quoted=\"  kept blanks  \"\n"
                                                "Single='one'\n"
                                                "Unbalanced=\"open\n"
                                                "; Model=commented out\n"
                                                "Empty=\n"
                                                "Model=second of the name\n"
                                                "no equals sign\n"
                                                "[setup]\n"
                                                "Later=ignored, the first section wins\n"));
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    for (const Case& c :
         {Case{"Setup", "Model", "Probook 450"}, Case{"SETUP", "model", "Probook 450"},
          Case{"Setup", "Quoted", "  kept blanks  "}, Case{"Setup", "Single", "one"},
          Case{"Setup", "Unbalanced", "\"open"}, Case{"Setup", "Empty", ""}, Case{"Setup", "Later", "<default>"},
          Case{"Setup", "top", "<default>"}, Case{"Other", "Model", "<default>"}})
        EXPECT_EQ(ini.value(QString::fromLatin1(c.section), QString::fromLatin1(c.key), QStringLiteral("<default>")),
                  QString::fromUtf8(c.expected))
            << c.section << "/" << c.key;
}

TEST(IniFile, FilesInUtf8OrUtf16AndMissingFiles)
{
    const QString root = testsupport::sandboxRoot();
    testsupport::writeFile(root + QStringLiteral("/utf8.ini"), "\xEF\xBB\xBF[S]\nName=Jos\xC3\xA9\n");
    const QString utf16 = QStringLiteral("[S]\nName=Zo\u00eb\n");
    QByteArray le("\xFF\xFE");
    le.append(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    testsupport::writeFile(root + QStringLiteral("/utf16.ini"), le);
    EXPECT_EQ(platform::readProfileString(root + QStringLiteral("/utf8.ini"), QStringLiteral("s"),
                                          QStringLiteral("name"), {}),
              QStringLiteral("Jos\u00e9"));
    EXPECT_EQ(platform::readProfileString(root + QStringLiteral("/utf16.ini"), QStringLiteral("S"),
                                          QStringLiteral("Name"), {}),
              QStringLiteral("Zo\u00eb"));
    EXPECT_EQ(platform::readProfileString(root + QStringLiteral("/none.ini"), QStringLiteral("S"),
                                          QStringLiteral("Name"), QStringLiteral("fallback")),
              QStringLiteral("fallback"));
    EXPECT_FALSE(platform::IniFile::load(root + QStringLiteral("/none.ini")).has_value());
}

// A file that cannot be read is named with the reason; one that reads leaves the text alone.
TEST(IniFile, UnreadableFilesSayWhy)
{
    const QString root = testsupport::sandboxRoot();
    ASSERT_TRUE(QDir().mkpath(root + "/folder.ini"));
    testsupport::writeFile(root + "/good.ini", "[S]\nk=v\n");
    const struct {
        QString path;
        QString error;
    } cases[] = {
        {root + "/none.ini", "Unable to read the INI file " + root + "/none.ini: No such file or directory"},
        {root + "/folder.ini", "Unable to read the INI file " + root + "/folder.ini: file to open is a directory"},
        {root + "/good.ini", "untouched"},
    };
    for (const auto& c : cases) {
        QString error = "untouched";
        EXPECT_EQ(platform::IniFile::load(c.path, &error).has_value(), c.error == "untouched") << c.path.toStdString();
        EXPECT_EQ(error.toStdString(), c.error.toStdString());
    }
}

}  // namespace
