#include "platform/registry/Registry.h"

#include "tests/support/Processes.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
// Readable failures: the type and the bytes Windows would store.
void PrintTo(const RegValue& v, std::ostream* os)
{
    *os << "type " << int(v.type) << " bytes " << v.rawBytes().toHex(',').toStdString();
}
}  // namespace platform

using platform::Hive;
using platform::Profile;
using platform::Registry;
using platform::RegType;
using platform::RegValue;
using platform::RootKey;

namespace {

const QString kAppKey = QStringLiteral("Software\\Ovex\\Ovex Kelvo");

// ---- Helper processes ----
//
// The test binary doubles as the helper the cross-process tests start: with
// OVEX_REGISTRY_HELPER set it does that one job before the test main runs (so before
// the test sandbox would replace OVEX_REGISTRY_DIR) and exits.

int runHelper(const std::string& job)
{
    if (job == "race") {
        // Wait for the parent's go, so that all helpers hit the hive at once.
        std::string go;
        std::getline(std::cin, go);
        const quint32 id = quint32(std::atoi(std::getenv("OVEX_REGISTRY_HELPER_ID")));
        bool won = false;
        const bool ok = Registry::update(RootKey::CurrentUser, [&](Hive& hive) {
            if (hive.value(kAppKey, QStringLiteral("Flag")))
                return false;
            // Widen the gap between test and set; without the lock every helper gets in.
            ::usleep(20000);
            won = hive.setValue(kAppKey, QStringLiteral("Flag"), RegValue::fromDWord(id));
            return won;
        });
        std::cout << (ok ? (won ? "won" : "lost") : "failed") << std::endl;
        return ok ? 0 : 1;
    }
    if (job == "readonly") {
        const std::optional<RegValue> v =
            Registry::value(RootKey::LocalMachine, kAppKey, QStringLiteral("InstallPath"));
        const bool set = Registry::setValue(RootKey::LocalMachine, kAppKey, QStringLiteral("InstallPath"),
                                            RegValue::fromString(QStringLiteral("/tmp/elsewhere")));
        const bool updated = Registry::update(RootKey::LocalMachine, [](Hive& hive) {
            return hive.setValue(kAppKey, QStringLiteral("Other"), RegValue::fromDWord(1));
        });
        std::cout << "read=" << (v ? v->text.toStdString() : std::string("<none>")) << " set=" << set
                  << " update=" << updated << std::endl;
        return 0;
    }
    return 2;
}

[[maybe_unused]] const int helperHook = [] {
    if (const char* job = std::getenv("OVEX_REGISTRY_HELPER"))
        std::exit(runHelper(job));
    return 0;
}();

QProcessEnvironment helperEnvironment(const char* job, const QString& registryDir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OVEX_REGISTRY_HELPER"), QString::fromLatin1(job));
    env.insert(QStringLiteral("OVEX_REGISTRY_DIR"), registryDir);
    return env;
}

QString registryDir()
{
    return qEnvironmentVariable("OVEX_REGISTRY_DIR");
}

QString userHivePath()
{
    return registryDir() + QStringLiteral("/HKEY_CURRENT_USER.reg");
}

int fileMode(const QString& path)
{
    struct stat st;
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

RegValue expandString(const QString& s)
{
    RegValue v;
    v.type = RegType::ExpandString;
    v.text = s;
    return v;
}

// A hive with every value type, and the exact text it must serialise to.
Hive everyTypeHive()
{
    Hive hive(RootKey::CurrentUser);
    hive.setValue(kAppKey, QString(), RegValue::fromString(QStringLiteral("Ovex Kelvo")));
    hive.setValue(kAppKey, QStringLiteral("Name"), RegValue::fromString(QStringLiteral("Ovex")));
    hive.setValue(kAppKey, QStringLiteral("Home"), expandString(QStringLiteral("%HOME%\\x")));
    hive.setValue(kAppKey, QStringLiteral("Count"), RegValue::fromDWord(42));
    hive.setValue(kAppKey, QStringLiteral("Big"), RegValue::fromQWord(0x0102030405060708ULL));
    hive.setValue(kAppKey, QStringLiteral("List"),
                  RegValue::fromMultiString({QStringLiteral("a"), QStringLiteral("é")}));
    hive.setValue(kAppKey, QStringLiteral("NoList"), RegValue::fromMultiString({}));
    hive.setValue(kAppKey, QStringLiteral("Blob"), RegValue::fromBinary(QByteArray("\x00\xff\x10", 3)));
    hive.setValue(kAppKey, QStringLiteral("NoBlob"), RegValue::fromBinary({}));
    hive.createKey(kAppKey + QStringLiteral("\\Empty"));
    return hive;
}

const QByteArray kEveryTypeText =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software]\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Ovex]\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Ovex\\Ovex Kelvo]\n"
    "@=\"Ovex Kelvo\"\n"
    "\"Name\"=\"Ovex\"\n"
    "\"Home\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\n"
    "\"Count\"=dword:0000002a\n"
    "\"Big\"=hex(b):08,07,06,05,04,03,02,01\n"
    "\"List\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"
    "\"NoList\"=hex(7):00,00\n"
    "\"Blob\"=hex:00,ff,10\n"
    "\"NoBlob\"=hex:\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Ovex\\Ovex Kelvo\\Empty]\n"
    "\n";

// Each test gets a sandbox of its own, also when the binary runs them all in one process.
class FreshSandbox : public ::testing::Test {
protected:
    void SetUp() override { testsupport::isolateEnvironment(); }
};

class HiveFormat : public FreshSandbox {};
class HiveNames : public FreshSandbox {};
class HiveKeys : public FreshSandbox {};
class RegistryFiles : public FreshSandbox {};
class ProfileSettings : public FreshSandbox {};

// ---- The text format ----

TEST_F(HiveFormat, EveryValueTypeSerialisesToTheGoldenTextAndBack)
{
    const Hive built = everyTypeHive();
    EXPECT_EQ(built.serialize(), kEveryTypeText);

    QString error;
    const std::optional<Hive> parsed = Hive::parse(RootKey::CurrentUser, kEveryTypeText, &error);
    ASSERT_TRUE(parsed) << error.toStdString();
    EXPECT_EQ(parsed->valueNames(kAppKey), built.valueNames(kAppKey));
    for (const QString& name : built.valueNames(kAppKey))
        EXPECT_EQ(parsed->value(kAppKey, name), built.value(kAppKey, name)) << name.toStdString();
    EXPECT_TRUE(parsed->keyExists(kAppKey + QStringLiteral("\\Empty")));
    EXPECT_EQ(parsed->serialize(), kEveryTypeText);

    // The file the layer writes is serialize() byte for byte.
    ASSERT_TRUE(Registry::update(RootKey::CurrentUser, [](Hive& hive) {
        hive = everyTypeHive();
        return true;
    }));
    EXPECT_EQ(testsupport::readFile(userHivePath()), kEveryTypeText);
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, kAppKey, QStringLiteral("Big")),
              RegValue::fromQWord(0x0102030405060708ULL));
}

TEST_F(HiveFormat, ReadsBomCrlfContinuedHexAndSectionsInAnyOrder)
{
    const QByteArray text =
        "\xEF\xBB\xBFREGEDIT4\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ovex\\Ovex Kelvo\\Settings]\r\n"
        "\"Count\"=dword:0000002A\r\n"
        "\"Blob\"=hex:00,01,02,\\\r\n"
        "  03,04,\\\r\n"
        "  05\r\n"
        "\"Title\"=hex(1):4f,00,4b,00,00,00\r\n"
        "@=\"d\"\r\n"
        "\r\n"
        "[hkey_current_user\\software\\OVEX]\r\n"
        "\"Later\"=\"x\"\r\n";
    QString error;
    const std::optional<Hive> hive = Hive::parse(RootKey::CurrentUser, text, &error);
    ASSERT_TRUE(hive) << error.toStdString();
    const QString settings = kAppKey + QStringLiteral("\\Settings");
    EXPECT_EQ(hive->value(settings, QStringLiteral("Count")), RegValue::fromDWord(42));
    EXPECT_EQ(hive->value(settings, QStringLiteral("Blob")), RegValue::fromBinary(QByteArray("\0\1\2\3\4\5", 6)));
    EXPECT_EQ(hive->value(settings, QStringLiteral("Title")), RegValue::fromString(QStringLiteral("OK")));
    EXPECT_EQ(hive->value(settings, QString()), RegValue::fromString(QStringLiteral("d")));
    // Keys above a section exist, and a later section for one of them joins it.
    EXPECT_EQ(hive->subKeys(QStringLiteral("Software")), QStringList{QStringLiteral("Ovex")});
    EXPECT_EQ(hive->subKeys(QStringLiteral("Software\\Ovex")), QStringList{QStringLiteral("Ovex Kelvo")});
    EXPECT_EQ(hive->value(QStringLiteral("Software\\Ovex"), QStringLiteral("Later")),
              RegValue::fromString(QStringLiteral("x")));
}

TEST_F(HiveFormat, EscapesQuotesBackslashesAndKeepsNonAsciiAndLineBreaks)
{
    const QString key = QStringLiteral("Software\\Odd ]\"Key] ");
    const QString quotedName = QStringLiteral("Say \"hi\" \\ there");
    const QString path = QStringLiteral("C:\\Program Files\\\"Ovex\"\\");
    const QString unicodeName = QStringLiteral("Grüße");
    const QString unicodeText = QStringLiteral("日本語 😀 İı");
    const QString twoLines = QStringLiteral("first\r\nsecond\n");

    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, key, quotedName, RegValue::fromString(path)));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, key, unicodeName, RegValue::fromString(unicodeText)));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, key, QStringLiteral("Lines"), RegValue::fromString(twoLines)));

    const QByteArray file = testsupport::readFile(userHivePath());
    EXPECT_TRUE(file.contains("[HKEY_CURRENT_USER\\Software\\Odd ]\"Key] ]\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("\n\"Say \\\"hi\\\" \\\\ there\"=\"C:\\\\Program Files\\\\\\\"Ovex\\\"\\\\\"\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("\n\"" + unicodeName.toUtf8() + "\"=\"" + unicodeText.toUtf8() + "\"\n"))
        << file.toStdString();

    EXPECT_EQ(Registry::subKeys(RootKey::CurrentUser, QStringLiteral("Software")),
              QStringList{QStringLiteral("Odd ]\"Key] ")});
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, key, quotedName), RegValue::fromString(path));
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, key, unicodeName), RegValue::fromString(unicodeText));
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, key, QStringLiteral("Lines")), RegValue::fromString(twoLines));

    // A name with a line break cannot be written; the hive stays as it was.
    EXPECT_FALSE(Registry::setValue(RootKey::CurrentUser, key, QStringLiteral("a\nb"), RegValue::fromDWord(1)));
    EXPECT_FALSE(Registry::createKey(RootKey::CurrentUser, QStringLiteral("Software\\a\nb")));
    EXPECT_EQ(testsupport::readFile(userHivePath()), file);
}

struct MalformedCase {
    const char* what;
    QByteArray text;
    int line;
};

const MalformedCase kMalformed[] = {
    {"bad header", "REGEDIT 4\n\n[HKEY_CURRENT_USER\\A]\n", 1},
    {"no header", "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n", 1},
    {"unterminated section", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A\n\"x\"=dword:00000001\n", 3},
    {"section under another root", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n", 3},
    {"value before any section", "REGEDIT4\n\n\"x\"=\"y\"\n", 3},
    {"bad dword digits", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:0000002g\n", 4},
    {"dword too long", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:100000000\n", 4},
    {"odd hex digit count", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:00,1,02\n", 4},
    {"odd hex on a continued line", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:00,01,\\\n  023\n\n", 4},
    {"hex continued past the end", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:00,\\", 4},
    {"odd UTF-16 byte count", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(2):41,00,42\n", 4},
    {"qword of the wrong size", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex(b):01,02\n", 4},
    {"unterminated text", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"abc\n", 4},
    {"not UTF-8", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"\xff\"\n", 4},
    {"key 513 levels deep", "REGEDIT4\n\n[HKEY_CURRENT_USER" + QByteArray("\\k").repeated(513) + "]\n", 3},
    {"key name of 256 characters", "REGEDIT4\n\n[HKEY_CURRENT_USER\\A\\" + QByteArray(256, 'n') + "\\B]\n", 3},
    {"deep key after good sections",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n\n[HKEY_CURRENT_USER" +
         QByteArray("\\k").repeated(20000) + "]\n",
     6},
};

TEST_F(HiveFormat, MalformedTextIsRefusedWithItsLine)
{
    for (const MalformedCase& c : kMalformed) {
        QString error;
        EXPECT_FALSE(Hive::parse(RootKey::CurrentUser, c.text, &error)) << c.what;
        EXPECT_TRUE(error.startsWith(QStringLiteral("line %1: ").arg(c.line))) << c.what << ": " << error.toStdString();
    }
}

// The registry's own limits hold: 512 levels and names of 255 characters, not one more.
TEST_F(HiveKeys, DepthAndNameLengthAreCappedAsTheRegistryCapsThem)
{
    const QString deepest = QStringLiteral("k\\").repeated(Hive::kMaxKeyDepth - 1) + QStringLiteral("k");
    const QString longest = QStringLiteral("A\\") + QString(Hive::kMaxKeyNameLength, u'n');
    Hive hive;
    EXPECT_TRUE(hive.setValue(deepest, QStringLiteral("v"), RegValue::fromDWord(1)));
    EXPECT_TRUE(hive.createKey(longest));
    EXPECT_FALSE(hive.createKey(deepest + QStringLiteral("\\k")));
    EXPECT_FALSE(hive.setValue(deepest + QStringLiteral("\\k"), QStringLiteral("v"), RegValue::fromDWord(1)));
    EXPECT_FALSE(hive.createKey(longest + u'n'));
    EXPECT_FALSE(hive.keyExists(deepest + QStringLiteral("\\k")));

    QString error;
    const std::optional<Hive> back = Hive::parse(RootKey::CurrentUser, hive.serialize(), &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->value(deepest, QStringLiteral("V")), RegValue::fromDWord(1));
    EXPECT_TRUE(back->keyExists(longest));
}

// Values are found by name in any case, also after others were removed before them.
TEST_F(HiveKeys, ValuesFoundByNameAfterRemovals)
{
    Hive hive;
    for (int i = 0; i < 50; ++i)
        hive.setValue(QStringLiteral("K"), QStringLiteral("Value%1").arg(i), RegValue::fromDWord(quint32(i)));
    for (int i = 0; i < 50; i += 2)
        EXPECT_TRUE(hive.removeValue(QStringLiteral("k"), QStringLiteral("VALUE%1").arg(i)));
    EXPECT_EQ(hive.valueNames(QStringLiteral("K")).size(), 25);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(hive.value(QStringLiteral("K"), QStringLiteral("value%1").arg(i)).has_value(), i % 2 == 1) << i;
    hive.setValue(QStringLiteral("K"), QStringLiteral("VALUE49"), RegValue::fromDWord(7));
    EXPECT_EQ(hive.value(QStringLiteral("K"), QStringLiteral("Value49")), RegValue::fromDWord(7));
    EXPECT_EQ(hive.valueNames(QStringLiteral("K")).back(), QStringLiteral("Value49"));
}

// Reading a damaged hive as empty and writing that back would lose everything in it.
TEST_F(RegistryFiles, DamagedHiveReadsAsNothingAndIsNeverOverwritten)
{
    for (const MalformedCase& c : kMalformed) {
        testsupport::writeFile(userHivePath(), c.text);
        EXPECT_FALSE(Registry::value(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("x"))) << c.what;
        EXPECT_FALSE(Registry::keyExists(RootKey::CurrentUser, QStringLiteral("A"))) << c.what;
        EXPECT_FALSE(
            Registry::setValue(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("x"), RegValue::fromDWord(1)))
            << c.what;
        EXPECT_FALSE(Registry::createKey(RootKey::CurrentUser, QStringLiteral("B"))) << c.what;
        EXPECT_FALSE(Registry::removeKey(RootKey::CurrentUser, QStringLiteral("A"), true)) << c.what;
        bool called = false;
        EXPECT_FALSE(Registry::update(RootKey::CurrentUser, [&](Hive&) { return called = true; })) << c.what;
        EXPECT_FALSE(called) << c.what;
        EXPECT_EQ(testsupport::readFile(userHivePath()), c.text) << c.what;
        EXPECT_EQ(filesIn(registryDir()),
                  (QStringList{QStringLiteral("HKEY_CURRENT_USER.reg"), QStringLiteral("HKEY_CURRENT_USER.reg.lock")}))
            << c.what;
    }
}

TEST(RegValueBytes, RawBytesAreWhatWindowsStores)
{
    const struct {
        const char* what;
        RegValue value;
        QByteArray bytes;
    } cases[] = {
        {"string", RegValue::fromString(QStringLiteral("Aé")), QByteArray("A\0\xe9\0\0\0", 6)},
        {"empty string", RegValue::fromString(QString()), QByteArray("\0\0", 2)},
        {"expand string", expandString(QStringLiteral("%A%")), QByteArray("%\0A\0%\0\0\0", 8)},
        {"dword", RegValue::fromDWord(0x12345678), QByteArray("\x78\x56\x34\x12", 4)},
        {"qword", RegValue::fromQWord(0x1122334455667788ULL), QByteArray("\x88\x77\x66\x55\x44\x33\x22\x11", 8)},
        {"multi string", RegValue::fromMultiString({QStringLiteral("a"), QStringLiteral("bc")}),
         QByteArray("a\0\0\0b\0c\0\0\0\0\0", 12)},
        {"empty multi string", RegValue::fromMultiString({}), QByteArray("\0\0", 2)},
        {"binary", RegValue::fromBinary(QByteArray("\0\1\xff", 3)), QByteArray("\0\1\xff", 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value.rawBytes().toHex(), c.bytes.toHex()) << c.what;
}

// ---- Names and keys ----

TEST_F(HiveNames, FoldOnlyAsciiCaseWhateverTheLocale)
{
    // A Turkish locale folds "I" to a dotless i; names must not care.
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQLocale;
    std::setlocale(LC_ALL, "tr_TR.UTF-8");
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));

    const struct {
        const char* stored;
        const char* lookedUp;
        bool same;
    } cases[] = {
        {"UserOptIn", "useroptin", true},
        {"UserOptIn", "USEROPTIN", true},
        {"I", "i", true},
        {"i", "I", true},
        {"İ", "i", false},  // dotted capital I is not ASCII
        {"ı", "I", false},  // nor is the dotless small i
        {"Ä", "ä", false},
    };
    for (const auto& c : cases) {
        const QString stored = QString::fromUtf8(c.stored), lookedUp = QString::fromUtf8(c.lookedUp);
        Hive hive;
        ASSERT_TRUE(hive.setValue(QStringLiteral("Software\\") + stored, stored, RegValue::fromDWord(1)));
        EXPECT_EQ(hive.keyExists(QStringLiteral("SOFTWARE\\") + lookedUp), c.same) << c.stored << " / " << c.lookedUp;
        EXPECT_EQ(hive.value(QStringLiteral("software\\") + stored, lookedUp).has_value(), c.same)
            << c.stored << " / " << c.lookedUp;
        // Setting it again under the other case replaces the value and keeps the first case.
        hive.setValue(QStringLiteral("Software\\") + lookedUp, lookedUp, RegValue::fromDWord(2));
        EXPECT_EQ(hive.valueNames(QStringLiteral("Software\\") + stored), QStringList{stored}) << c.stored;
        EXPECT_EQ(hive.subKeys(QStringLiteral("Software")),
                  c.same ? QStringList{stored} : (QStringList{stored, lookedUp}))
            << c.stored;
        EXPECT_EQ(hive.value(QStringLiteral("Software\\") + stored, stored), RegValue::fromDWord(c.same ? 2 : 1))
            << c.stored;
    }

    // And the same through the files.
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, kAppKey, QStringLiteral("UserOptIn"), RegValue::fromDWord(1)));
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, QStringLiteral("SOFTWARE\\ovex\\OVEX KELVO"),
                              QStringLiteral("useroptin")),
              RegValue::fromDWord(1));
    EXPECT_EQ(Registry::valueNames(RootKey::CurrentUser, kAppKey), QStringList{QStringLiteral("UserOptIn")});

    std::setlocale(LC_ALL, savedLocale.c_str());
    QLocale::setDefault(savedQLocale);
}

TEST_F(HiveKeys, SubKeysInOrderAndRemovalRules)
{
    const QString base = QStringLiteral("Software\\Ovex");
    ASSERT_TRUE(Registry::createKey(RootKey::CurrentUser, base + QStringLiteral("\\Zeta")));
    ASSERT_TRUE(Registry::createKey(RootKey::CurrentUser, base + QStringLiteral("\\B\\Deep")));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, base + QStringLiteral("\\BC"), QStringLiteral("v"),
                                   RegValue::fromDWord(1)));
    ASSERT_TRUE(Registry::createKey(RootKey::CurrentUser, base + QStringLiteral("\\alpha")));
    EXPECT_EQ(
        Registry::subKeys(RootKey::CurrentUser, base),
        (QStringList{QStringLiteral("Zeta"), QStringLiteral("B"), QStringLiteral("BC"), QStringLiteral("alpha")}));
    EXPECT_EQ(Registry::subKeys(RootKey::CurrentUser, QString()), QStringList{QStringLiteral("Software")});

    // Empty keys survive the file.
    EXPECT_TRUE(testsupport::readFile(userHivePath()).contains("[HKEY_CURRENT_USER\\Software\\Ovex\\alpha]\n\n"));
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, base + QStringLiteral("\\ALPHA")));

    EXPECT_FALSE(Registry::removeKey(RootKey::CurrentUser, base + QStringLiteral("\\Missing"), true));
    EXPECT_FALSE(Registry::removeKey(RootKey::CurrentUser, base + QStringLiteral("\\B"), false));
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, base + QStringLiteral("\\B\\Deep")));
    // "BC" shares a prefix with "B" but is not below it.
    EXPECT_TRUE(Registry::removeKey(RootKey::CurrentUser, base + QStringLiteral("\\b"), true));
    EXPECT_FALSE(Registry::keyExists(RootKey::CurrentUser, base + QStringLiteral("\\B\\Deep")));
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, base + QStringLiteral("\\BC"), QStringLiteral("v")),
              RegValue::fromDWord(1));
    EXPECT_TRUE(Registry::removeKey(RootKey::CurrentUser, base + QStringLiteral("\\Zeta"), false));
    EXPECT_EQ(Registry::subKeys(RootKey::CurrentUser, base),
              (QStringList{QStringLiteral("BC"), QStringLiteral("alpha")}));

    EXPECT_TRUE(Registry::removeValue(RootKey::CurrentUser, base + QStringLiteral("\\BC"), QStringLiteral("V")));
    EXPECT_FALSE(Registry::removeValue(RootKey::CurrentUser, base + QStringLiteral("\\BC"), QStringLiteral("V")));
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, base + QStringLiteral("\\BC")));
}

// ---- Files ----

TEST_F(RegistryFiles, EnvironmentMovesBothHivesAndIsReadAtEachCall)
{
    const QString sandbox = testsupport::sandboxRoot();
    const QString first = sandbox + QStringLiteral("/first"), second = sandbox + QStringLiteral("/second");

    ::setenv("OVEX_REGISTRY_DIR", first.toLocal8Bit().constData(), 1);
    EXPECT_EQ(Registry::hiveFilePath(RootKey::LocalMachine), first + QStringLiteral("/HKEY_LOCAL_MACHINE.reg"));
    EXPECT_EQ(Registry::hiveFilePath(RootKey::CurrentUser), first + QStringLiteral("/HKEY_CURRENT_USER.reg"));
    // A missing hive reads as empty and a read creates nothing.
    EXPECT_FALSE(Registry::keyExists(RootKey::LocalMachine, kAppKey));
    EXPECT_FALSE(QFileInfo::exists(first));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, kAppKey, QStringLiteral("InstallPath"),
                                   RegValue::fromString(QStringLiteral("/opt/ovex-kelvo/OvexKelvo"))));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, kAppKey, QStringLiteral("Who"),
                                   RegValue::fromString(QStringLiteral("user"))));
    EXPECT_TRUE(
        testsupport::readFile(first + QStringLiteral("/HKEY_LOCAL_MACHINE.reg"))
            .contains(
                "[HKEY_LOCAL_MACHINE\\Software\\Ovex\\Ovex Kelvo]\n\"InstallPath\"=\"/opt/ovex-kelvo/OvexKelvo\"\n"));
    // Users must read the machine hive; the user hive is private.
    EXPECT_EQ(fileMode(first + QStringLiteral("/HKEY_LOCAL_MACHINE.reg")), 0644);
    EXPECT_EQ(fileMode(first + QStringLiteral("/HKEY_CURRENT_USER.reg")), 0600);

    ::setenv("OVEX_REGISTRY_DIR", second.toLocal8Bit().constData(), 1);
    EXPECT_FALSE(Registry::value(RootKey::LocalMachine, kAppKey, QStringLiteral("InstallPath")));
    EXPECT_FALSE(Registry::value(RootKey::CurrentUser, kAppKey, QStringLiteral("Who")));

    // Without it, the user hive follows XDG_CONFIG_HOME, then HOME.
    ::setenv("OVEX_REGISTRY_DIR", "", 1);
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::hiveFilePath(RootKey::CurrentUser),
              config + QStringLiteral("/ovex-kelvo/registry/HKEY_CURRENT_USER.reg"));
    EXPECT_EQ(Registry::hiveFilePath(RootKey::LocalMachine),
              QStringLiteral("/etc/opt/ovex-kelvo/registry/HKEY_LOCAL_MACHINE.reg"));
    ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, kAppKey, QStringLiteral("Where"),
                                   RegValue::fromString(QStringLiteral("xdg"))));
    EXPECT_TRUE(QFileInfo::exists(config + QStringLiteral("/ovex-kelvo/registry/HKEY_CURRENT_USER.reg")));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::hiveFilePath(RootKey::CurrentUser),
              qEnvironmentVariable("HOME") + QStringLiteral("/.config/ovex-kelvo/registry/HKEY_CURRENT_USER.reg"));
    ::setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    ::setenv("OVEX_REGISTRY_DIR", first.toLocal8Bit().constData(), 1);
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, kAppKey, QStringLiteral("Who")),
              RegValue::fromString(QStringLiteral("user")));
}

// The machine hive sits in a folder the user cannot write: reads work without a lock
// file of their own, and writes fail leaving the hive as it was. Root can write there
// anyway, so as root the helper runs as "nobody".
TEST_F(RegistryFiles, ReadOnlyMachineHiveReadsButRefusesWrites)
{
    const QString sandbox = testsupport::sandboxRoot();
    ASSERT_EQ(::chmod(sandbox.toLocal8Bit().constData(), 0755), 0);
    const QString folder = sandbox + QStringLiteral("/machine");
    const QString hivePath = folder + QStringLiteral("/HKEY_LOCAL_MACHINE.reg");
    const QByteArray hive =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Ovex\\Ovex Kelvo]\n\"InstallPath\"=\"/opt/ovex-kelvo/OvexKelvo\"\n\n";

    for (const bool withLockFile : {false, true}) {
        SCOPED_TRACE(withLockFile ? "lock file present" : "no lock file");
        ::chmod(folder.toLocal8Bit().constData(), 0755);
        QDir(folder).removeRecursively();
        testsupport::writeFile(hivePath, hive);
        if (withLockFile)
            testsupport::writeFile(hivePath + QStringLiteral(".lock"), {});
        for (const QString& f : filesIn(folder))
            ::chmod((folder + u'/' + f).toLocal8Bit().constData(), 0644);
        ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
        const QStringList before = filesIn(folder);

        QProcess helper;
        helper.setProcessEnvironment(helperEnvironment("readonly", folder));
        testsupport::runAsNobodyWhenRoot(helper);
        helper.start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(helper.waitForFinished(30000));
        if (testsupport::couldNotBecomeNobody(helper))
            GTEST_SKIP() << "cannot drop root to run the helper as nobody";
        ASSERT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().toStdString();
        EXPECT_EQ(helper.readAllStandardOutput().trimmed().toStdString(),
                  "read=/opt/ovex-kelvo/OvexKelvo set=0 update=0");
        EXPECT_EQ(testsupport::readFile(hivePath), hive);
        EXPECT_EQ(filesIn(folder), before);
    }
    ::chmod(folder.toLocal8Bit().constData(), 0755);
}

// Several processes test-and-set one flag at once; the hive's lock lets exactly one in.
TEST_F(RegistryFiles, ConcurrentTestAndSetHasExactlyOneWinner)
{
    // Not there yet: the helpers also race to create the folder.
    const QString folder = testsupport::sandboxRoot() + QStringLiteral("/race/registry");
    constexpr int kHelpers = 8;
    std::vector<std::unique_ptr<QProcess>> helpers;
    for (int i = 0; i < kHelpers; ++i) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = helperEnvironment("race", folder);
        env.insert(QStringLiteral("OVEX_REGISTRY_HELPER_ID"), QString::number(i));
        p->setProcessEnvironment(env);
        p->start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(p->waitForStarted(10000));
        helpers.push_back(std::move(p));
    }
    for (auto& p : helpers) {
        p->write("go\n");
        p->waitForBytesWritten(5000);
        p->closeWriteChannel();
    }
    int winner = -1, losers = 0;
    for (int i = 0; i < kHelpers; ++i) {
        QProcess& p = *helpers[size_t(i)];
        ASSERT_TRUE(p.waitForFinished(30000));
        const QByteArray out = p.readAllStandardOutput().trimmed();
        EXPECT_EQ(p.exitCode(), 0) << out.toStdString() << p.readAllStandardError().toStdString();
        if (out == "won") {
            EXPECT_EQ(winner, -1) << "helpers " << winner << " and " << i << " both set the flag";
            winner = i;
        } else if (out == "lost") {
            ++losers;
        }
    }
    EXPECT_NE(winner, -1);
    EXPECT_EQ(losers, kHelpers - 1);
    ::setenv("OVEX_REGISTRY_DIR", folder.toLocal8Bit().constData(), 1);
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, kAppKey, QStringLiteral("Flag")),
              RegValue::fromDWord(quint32(winner)));
    EXPECT_EQ(filesIn(folder),
              (QStringList{QStringLiteral("HKEY_CURRENT_USER.reg"), QStringLiteral("HKEY_CURRENT_USER.reg.lock")}));
}

TEST_F(RegistryFiles, UpdateThatChangesNothingWritesNothing)
{
    bool called = false;
    EXPECT_TRUE(Registry::update(RootKey::CurrentUser, [&](Hive& hive) {
        called = true;
        hive.setValue(kAppKey, QStringLiteral("Dropped"), RegValue::fromDWord(1));
        return false;
    }));
    EXPECT_TRUE(called);
    EXPECT_FALSE(QFileInfo::exists(userHivePath()));
    EXPECT_FALSE(Registry::value(RootKey::CurrentUser, kAppKey, QStringLiteral("Dropped")));
}

// A failed change says what failed and why, in words a caller can show.
TEST_F(RegistryFiles, AFailedChangeSaysWhy)
{
    const QString deep = QStringLiteral("k\\").repeated(Hive::kMaxKeyDepth) + QStringLiteral("k");
    ASSERT_TRUE(Registry::createKey(RootKey::CurrentUser, QStringLiteral("A\\B")));
    ASSERT_TRUE(
        Registry::setValue(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("v"), RegValue::fromDWord(1)));
    const struct {
        const char* what;
        std::function<bool(QString*)> change;
        const char* said;
    } cases[] = {
        {"a value name with a line break",
         [](QString* e) {
             return Registry::setValue(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("x\ny"),
                                       RegValue::fromDWord(1), e);
         },
         "The value name \"x\ny\" holds a line break, a NUL or half a character, which the hive file cannot store"},
        {"a key past the depth limit", [&](QString* e) { return Registry::createKey(RootKey::CurrentUser, deep, e); },
         "is nested deeper than 512 levels"},
        {"a missing key",
         [](QString* e) { return Registry::removeKey(RootKey::CurrentUser, QStringLiteral("A\\C"), true, e); },
         "There is no key \"A\\C\""},
        {"a key with subkeys, not recursive",
         [](QString* e) { return Registry::removeKey(RootKey::CurrentUser, QStringLiteral("\\A\\"), false, e); },
         "The key \"A\" still has subkeys"},
        {"the root", [](QString* e) { return Registry::removeKey(RootKey::CurrentUser, QString(), true, e); },
         "The root key cannot be removed"},
        {"a missing value",
         [](QString* e) {
             return Registry::removeValue(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("w"), e);
         },
         "There is no value \"w\" in the key \"A\""},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(c.change(&error)) << c.what;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.said))) << c.what << ": " << error.toStdString();
    }
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, QStringLiteral("A\\B")));

    // A value that is not there is not a failure; an unreadable hive is.
    QString error;
    EXPECT_FALSE(Registry::value(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("w"), &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    testsupport::writeFile(userHivePath(), "not a hive\n");
    EXPECT_FALSE(Registry::value(RootKey::CurrentUser, QStringLiteral("A"), QStringLiteral("v"), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Registry hive %1 is damaged").arg(userHivePath())))
        << error.toStdString();
    error.clear();
    EXPECT_FALSE(Profile(QStringLiteral("Ovex"), QStringLiteral("Ovex Kelvo"))
                     .writeInt(QStringLiteral("Settings"), QStringLiteral("Count"), 1, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Registry hive %1 is damaged").arg(userHivePath())))
        << error.toStdString();
}

// A file's failure reaches the log only when the caller did not ask for the reason.
TEST_F(RegistryFiles, AFileFailureIsLoggedUnlessTheCallerTakesIt)
{
    // A plain file stands where the hive's folder should be made.
    testsupport::writeFile(testsupport::sandboxRoot() + QStringLiteral("/blocker"), "in the way");
    qputenv("OVEX_REGISTRY_DIR", QFile::encodeName(testsupport::sandboxRoot() + QStringLiteral("/blocker/registry")));
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { logged.append(text); });
    QString error;
    const bool asked =
        Registry::setValue(RootKey::CurrentUser, kAppKey, QStringLiteral("v"), RegValue::fromDWord(1), &error);
    const QStringList loggedWhenAsked = logged;
    const bool unasked = Registry::setValue(RootKey::CurrentUser, kAppKey, QStringLiteral("v"), RegValue::fromDWord(1));
    qInstallMessageHandler(previous);

    EXPECT_FALSE(asked);
    EXPECT_FALSE(unasked);
    EXPECT_EQ(error, QStringLiteral("Unable to create folder %1: Not a directory").arg(registryDir()));
    EXPECT_TRUE(loggedWhenAsked.isEmpty()) << loggedWhenAsked.join(u'\n').toStdString();
    EXPECT_EQ(logged, QStringList{error});
}

// ---- Profile ----

TEST_F(ProfileSettings, IntsAreDwordsAndNumericStringsReadAsInts)
{
    const Profile profile(QStringLiteral("Ovex"), QStringLiteral("Ovex Kelvo"));
    EXPECT_EQ(profile.keyPath(), kAppKey);
    const QString section = kAppKey + QStringLiteral("\\Settings");

    ASSERT_TRUE(profile.writeInt(QStringLiteral("Settings"), QStringLiteral("Count"), -5));
    EXPECT_EQ(Registry::value(RootKey::CurrentUser, section, QStringLiteral("Count")),
              RegValue::fromDWord(0xfffffffbu));
    EXPECT_EQ(profile.readInt(QStringLiteral("Settings"), QStringLiteral("Count"), 0), -5);
    ASSERT_TRUE(profile.writeString(QStringLiteral("Settings"), QStringLiteral("Name"), QStringLiteral("Ovex")));
    EXPECT_EQ(profile.readString(QStringLiteral("Settings"), QStringLiteral("NAME")), QStringLiteral("Ovex"));

    const struct {
        const char* text;
        int expected;
    } strings[] = {{"42", 42}, {" 17 ", 17}, {"-3", -3}, {"4x", 99}, {"", 99}, {"99999999999", 99}};
    for (const auto& c : strings) {
        ASSERT_TRUE(Registry::setValue(RootKey::CurrentUser, section, QStringLiteral("Text"),
                                       RegValue::fromString(QString::fromLatin1(c.text))));
        EXPECT_EQ(profile.readInt(QStringLiteral("Settings"), QStringLiteral("Text"), 99), c.expected)
            << '"' << c.text << '"';
    }
    EXPECT_EQ(profile.readInt(QStringLiteral("Settings"), QStringLiteral("Missing"), 7), 7);
    EXPECT_EQ(profile.readString(QStringLiteral("Settings"), QStringLiteral("Count"), QStringLiteral("fb")),
              QStringLiteral("fb"));
    EXPECT_EQ(profile.readString(QStringLiteral("Other"), QStringLiteral("Name"), QStringLiteral("fb")),
              QStringLiteral("fb"));
}

}  // namespace
