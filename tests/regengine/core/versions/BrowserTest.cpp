#include "regengine/core/Versions.h"

#include "platform/version/BrowserSource.h"
#include "platform/version/XdgBrowserSource.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>

using namespace engine;

namespace {

// A desktop that says what the test tells it, counting how often it is asked.
class FakeBrowserSource final : public platform::BrowserSource {
public:
    std::optional<QString> executable;
    std::optional<platform::VersionBlock> block;
    mutable int asked = 0;

    std::optional<QString> httpHandlerExecutable() const override
    {
        ++asked;
        return executable;
    }
    std::optional<platform::VersionBlock> httpHandlerVersionInfo() const override { return block; }
};

platform::VersionBlock blockWith(const QString& description, const QString& version)
{
    platform::VersionBlock b;
    if (!description.isNull())
        b.setString(QStringLiteral("040904b0"), QStringLiteral("FileDescription"), description);
    if (!version.isNull())
        b.setString(QStringLiteral("040904b0"), QStringLiteral("ProductVersion"), version);
    return b;
}

TEST(DetectBrowser, DescriptionFromTheVersionStrings)
{
    struct Case {
        const char* name;
        std::optional<QString> executable;
        std::optional<platform::VersionBlock> block;
        QString expectedName;
        QString expectedVersion;
    };
    const QString longText(300, u'x');
    for (const Case& c : {
             Case{"NoHandler", std::nullopt, blockWith("Quillon", "1.0"), "Unknown browser", "Unknown version"},
             Case{"NoVersionStrings", QStringLiteral("/usr/bin/quillon"), std::nullopt, "Unknown browser",
                  "Unknown version"},
             Case{"Both", QStringLiteral("/usr/bin/quillon"), blockWith("Quillon Browser", "2.4.1"), "Quillon Browser",
                  "2.4.1"},
             Case{"NoDescriptionNamesTheFile", QStringLiteral("/opt/q/bin/quillon"), blockWith(QString(), "2.4.1"),
                  "Unknown Browser (quillon)", "2.4.1"},
             Case{"NoDescriptionWindowsPath", QStringLiteral("C:\\Program Files\\Q\\quillon.exe"),
                  blockWith(QString(), QString()), "Unknown Browser (quillon.exe)", "Unknown version"},
             Case{"NoDescriptionNoSeparator", QStringLiteral("quillon"), blockWith(QString(), QString()),
                  "Unknown Browser (quillon)", "Unknown version"},
             // A file name is data, never part of the format.
             Case{"PercentInFileName", QStringLiteral("/usr/bin/q%s%d"), blockWith(QString(), QString()),
                  "Unknown Browser (q%s%d)", "Unknown version"},
             Case{"LongTextsAreCut", QStringLiteral("/usr/bin/quillon"), blockWith(longText, longText),
                  longText.left(260), longText.left(99)},
         }) {
        SCOPED_TRACE(c.name);
        FakeBrowserSource source;
        source.executable = c.executable;
        source.block = c.block;
        SetBrowserSource(&source);
        EXPECT_EQ(GetBrowserName(), c.expectedName);
        EXPECT_EQ(GetBrowserVersion(), c.expectedVersion);
    }
    SetBrowserSource(nullptr);
}

// A run that finds nothing is tried again; one that succeeds is kept.
TEST(DetectBrowser, RetriesUntilFoundThenKeeps)
{
    FakeBrowserSource source;
    SetBrowserSource(&source);
    EXPECT_EQ(GetBrowserName(), QStringLiteral("Unknown browser"));
    EXPECT_EQ(source.asked, 1);

    source.executable = QStringLiteral("/usr/bin/quillon");
    source.block = blockWith("Quillon Browser", "2.4.1");
    EXPECT_EQ(GetBrowserName(), QStringLiteral("Quillon Browser"));
    EXPECT_EQ(source.asked, 2);

    source.block = blockWith("Changed", "9");
    EXPECT_EQ(GetBrowserName(), QStringLiteral("Quillon Browser"));
    EXPECT_EQ(GetBrowserVersion(), QStringLiteral("2.4.1"));
    EXPECT_EQ(source.asked, 2);
    SetBrowserSource(nullptr);
}

// ---- The XDG default browser, from files laid out as a desktop has them ----

struct SandboxFile {
    const char* path;  // below the sandbox; "@S@" in the text stands for the sandbox
    const char* text;
};

struct XdgCase {
    const char* name;
    std::vector<SandboxFile> files;
    const char* executable;  // below the sandbox; nullptr: no handler
    const char* browserName;
    const char* browserVersion;
};

void PrintTo(const XdgCase& c, std::ostream* os)
{
    *os << c.name;
}

const char* kQuillonEntry =
    "[Desktop Entry]\nType=Application\nName=Quillon Browser\nName[de]=Quillon-Browser\n"
    "Exec=@S@/bin/quillon %u\nMimeType=x-scheme-handler/http;\n";
const char* kOtherEntry = "[Desktop Entry]\nType=Application\nName=Other Browser\nExec=@S@/bin/other\n";
const char* kDefaultQuillon = "[Default Applications]\nx-scheme-handler/http=quillon.desktop\n";
const char* kDefaultOther = "[Default Applications]\nx-scheme-handler/http=other.desktop;\n";

class XdgBrowser : public ::testing::TestWithParam<XdgCase> {
protected:
    QString sandbox = testsupport::sandboxRoot() + QStringLiteral("/xdg");

    void write(const QString& path, const QByteArray& text)
    {
        testsupport::writeFile(sandbox + u'/' + path, QByteArray(text).replace("@S@", QFile::encodeName(sandbox)));
    }

    platform::XdgBrowserRoots roots() const
    {
        platform::XdgBrowserRoots r;
        r.configHome = sandbox + QStringLiteral("/config");
        r.configDirs = {sandbox + QStringLiteral("/etc/xdg")};
        r.dataHome = sandbox + QStringLiteral("/data");
        r.dataDirs = {sandbox + QStringLiteral("/usr/local/share"), sandbox + QStringLiteral("/usr/share")};
        r.desktops = {QStringLiteral("kde")};
        r.path = {sandbox + QStringLiteral("/bin")};
        r.dpkgDir = sandbox + QStringLiteral("/dpkg");
        return r;
    }

    void SetUp() override
    {
        for (const char* program : {"bin/quillon", "bin/other", "bin/my browser", "bin/not-runnable"}) {
            write(QLatin1String(program), "#!/bin/sh\n");
            if (QLatin1String(program) != QLatin1String("bin/not-runnable"))
                ::chmod(QFile::encodeName(sandbox + u'/' + QLatin1String(program)).constData(), 0755);
        }
        write(QStringLiteral("usr/share/applications/other.desktop"), kOtherEntry);
    }
};

TEST_P(XdgBrowser, FindsTheHandlerAndDescribesIt)
{
    const XdgCase& c = GetParam();
    for (const SandboxFile& f : c.files)
        write(QLatin1String(f.path), f.text);
    const platform::XdgBrowserSource source(roots());
    const auto executable = source.httpHandlerExecutable();
    if (!c.executable) {
        EXPECT_FALSE(executable) << executable->toStdString();
    } else {
        ASSERT_TRUE(executable);
        EXPECT_EQ(*executable, sandbox + u'/' + QString::fromUtf8(c.executable));
    }
    SetBrowserSource(&source);
    EXPECT_EQ(GetBrowserName(), QString::fromUtf8(c.browserName));
    EXPECT_EQ(GetBrowserVersion(), QString::fromUtf8(c.browserVersion));
    SetBrowserSource(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XdgBrowser,
    ::testing::Values(
        XdgCase{"DefaultWithAppStreamVersion",
                {{"config/mimeapps.list", kDefaultQuillon},
                 {"data/applications/quillon.desktop", kQuillonEntry},
                 {"data/metainfo/quillon.metainfo.xml",
                  "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\"><id>quillon</id>"
                  "<description><p>Has <release version=\"0.1\"/> text</p></description>"
                  "<releases><release version=\"2.4.1\" date=\"2024-02-01\"/><release version=\"2.3.0\"/></releases>"
                  "</component>\n"}},
                "bin/quillon",
                "Quillon Browser",
                "2.4.1"},
        XdgCase{"VersionOfTheDebianPackage",
                {{"config/mimeapps.list", kDefaultQuillon},
                 {"usr/share/applications/quillon.desktop", kQuillonEntry},
                 {"dpkg/info/other-tools.list", "/.\n/usr/share/applications/quillon.desktop.old\n"},
                 {"dpkg/info/quillon:amd64.list",
                  "/.\n/usr\n@S@/usr/share/applications/quillon.desktop\n/usr/bin/quillon\n"},
                 {"dpkg/status",
                  "Package: other-tools\nStatus: install ok installed\nVersion: 5.0\n\n"
                  "Package: quillon\nStatus: deinstall ok config-files\nVersion: 1.0\nArchitecture: i386\n\n"
                  "Package: quillon\nStatus: install ok installed\nArchitecture: amd64\nVersion: 1:3.0.2-1~deb12u1\n"}},
                "bin/quillon",
                "Quillon Browser",
                "3.0.2-1~deb12u1"},
        XdgCase{"NoNameNamesTheProgram",
                {{"config/mimeapps.list", kDefaultQuillon},
                 {"data/applications/quillon.desktop", "[Desktop Entry]\nType=Application\nExec=@S@/bin/quillon\n"}},
                "bin/quillon",
                "Unknown Browser (quillon)",
                "Unknown version"},
        XdgCase{
            "FirstInstalledOfTheList",
            {{"config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=gone.desktop;quillon.desktop;\n"},
             {"data/applications/quillon.desktop", kQuillonEntry}},
            "bin/quillon",
            "Quillon Browser",
            "Unknown version"},
        XdgCase{"UserConfigBeforeSystemConfig",
                {{"etc/xdg/mimeapps.list", kDefaultOther},
                 {"config/mimeapps.list", kDefaultQuillon},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                "bin/quillon",
                "Quillon Browser",
                "Unknown version"},
        XdgCase{"SystemConfigBeforeApplicationsFolder",
                {{"usr/share/applications/mimeapps.list", kDefaultQuillon},
                 {"etc/xdg/mimeapps.list", kDefaultOther},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                "bin/other",
                "Other Browser",
                "Unknown version"},
        XdgCase{"DesktopListBeforeGeneralList",
                {{"config/mimeapps.list", kDefaultQuillon},
                 {"config/kde-mimeapps.list", kDefaultOther},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                "bin/other",
                "Other Browser",
                "Unknown version"},
        XdgCase{"AddedAssociationWithoutDefault",
                {{"config/mimeapps.list",
                  "[Added Associations]\nx-scheme-handler/http=other.desktop;\n"
                  "[Default Applications]\nx-scheme-handler/https=quillon.desktop\n"},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                "bin/other",
                "Other Browser",
                "Unknown version"},
        XdgCase{"DefaultBeforeAddedAssociation",
                {{"config/mimeapps.list", "[Added Associations]\nx-scheme-handler/http=other.desktop;\n"},
                 {"usr/share/applications/mimeapps.list", kDefaultQuillon},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                "bin/quillon",
                "Quillon Browser",
                "Unknown version"},
        XdgCase{"MimeCacheLast",
                {{"usr/share/applications/mimeinfo.cache",
                  "[MIME Cache]\nx-scheme-handler/http=gone.desktop;other.desktop;\n"}},
                "bin/other",
                "Other Browser",
                "Unknown version"},
        XdgCase{
            "HiddenEntryHidesTheSystemOne",
            {{"config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=quillon.desktop;other.desktop\n"},
             {"data/applications/quillon.desktop", "[Desktop Entry]\nHidden=true\n"},
             {"usr/share/applications/quillon.desktop", kQuillonEntry}},
            "bin/other",
            "Other Browser",
            "Unknown version"},
        XdgCase{"ProgramMissingOrNotRunnable",
                {{"config/mimeapps.list",
                  "[Default Applications]\nx-scheme-handler/http=a.desktop;b.desktop;c.desktop;other.desktop\n"},
                 {"data/applications/a.desktop", "[Desktop Entry]\nName=A\nExec=@S@/bin/absent %u\n"},
                 {"data/applications/b.desktop", "[Desktop Entry]\nName=B\nExec=@S@/bin/not-runnable\n"},
                 {"data/applications/c.desktop", "[Desktop Entry]\nName=C\nTryExec=absent\nExec=quillon\n"}},
                "bin/other",
                "Other Browser",
                "Unknown version"},
        XdgCase{
            "BareProgramFromPath",
            {{"config/mimeapps.list", kDefaultQuillon},
             {"data/applications/quillon.desktop", "[Desktop Entry]\nName=Quillon\nExec=quillon --new-window %u\n"}},
            "bin/quillon",
            "Quillon",
            "Unknown version"},
        XdgCase{"QuotedProgramWithSpace",
                {{"config/mimeapps.list", kDefaultQuillon},
                 {"data/applications/quillon.desktop",
                  "[Desktop Entry]\nName=Mine\\sToo\nExec=\"@S@/bin/my browser\" %u\n"}},
                "bin/my browser",
                "Mine Too",
                "Unknown version"},
        XdgCase{"IdOfAnEntryInASubfolder",
                {{"config/mimeapps.list", "[Default Applications]\nx-scheme-handler/http=vendor-quillon.desktop\n"},
                 {"data/applications/vendor/quillon.desktop", kQuillonEntry}},
                "bin/quillon",
                "Quillon Browser",
                "Unknown version"},
        XdgCase{"OnlyHttpsHandled",
                {{"config/mimeapps.list", "[Default Applications]\nx-scheme-handler/https=quillon.desktop\n"},
                 {"data/applications/quillon.desktop", kQuillonEntry}},
                nullptr,
                "Unknown browser",
                "Unknown version"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a source of its own the engine reads this desktop's settings from the environment.
TEST(DetectBrowser, DesktopFromTheEnvironment)
{
    const QString root = testsupport::sandboxRoot();
    ::setenv("XDG_CONFIG_DIRS", QFile::encodeName(root + QStringLiteral("/etc-xdg")).constData(), 1);
    ::setenv("XDG_DATA_DIRS", QFile::encodeName(root + QStringLiteral("/share")).constData(), 1);
    testsupport::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/mimeapps.list"), kDefaultQuillon);
    testsupport::writeFile(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/quillon.desktop"),
                           QByteArray(kQuillonEntry).replace("@S@", QFile::encodeName(root)));
    testsupport::writeFile(root + QStringLiteral("/bin/quillon"), "#!/bin/sh\n");
    ::chmod(QFile::encodeName(root + QStringLiteral("/bin/quillon")).constData(), 0755);

    SetBrowserSource(nullptr);
    EXPECT_EQ(GetBrowserName(), QStringLiteral("Quillon Browser"));
    EXPECT_EQ(GetBrowserVersion(), QStringLiteral("Unknown version"));
}

}  // namespace
