#include "regengine/core/EngineRegistry.h"

#include "platform/registry/Registry.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

using platform::Registry;
using platform::RegValue;
using platform::RootKey;

TEST(EngineRegistry, UntitledUntilOpened)
{
    EXPECT_EQ(EngineRegistryKeyPath(), u"Software\\Quenmark\\Veldora\\Untitled Registration App");
    EXPECT_EQ(EngineApplicationName(), u"Untitled Registration App");
    EXPECT_FALSE(IsEngineRegistryKeyOpen());
    EXPECT_FALSE(SetEngineRegistryValue(QStringLiteral("RegStatus"), RegValue::fromString(QStringLiteral("F"))));
    EXPECT_FALSE(EngineRegistryValue(QStringLiteral("RegStatus")).has_value());
}

// The key and its values go to the user hive file and come back from it.
TEST(EngineRegistry, KeyRoundTripThroughTheHive)
{
    ASSERT_TRUE(OpenEngineRegistryKey(FourCC("OVX1"), FourCC("0000"), QStringLiteral("0102"), QStringLiteral("Abc")));
    const QString path = QStringLiteral("Software\\Quenmark\\Veldora\\OVX1\\0000\\Abc\\0102");
    EXPECT_EQ(EngineRegistryKeyPath(), path);
    EXPECT_EQ(EngineApplicationName(), u"Abc");
    EXPECT_TRUE(IsEngineRegistryKeyOpen());
    EXPECT_TRUE(Registry::keyExists(RootKey::CurrentUser, path));

    ASSERT_TRUE(
        SetEngineRegistryValue(QStringLiteral("RegStatus"), RegValue::fromString(QStringLiteral("E 2501021530"))));
    ASSERT_TRUE(SetEngineRegistryValue(QStringLiteral("StartCount"), RegValue::fromDWord(3)));

    const QByteArray hive = testsupport::readFile(Registry::hiveFilePath(RootKey::CurrentUser));
    EXPECT_TRUE(hive.contains("[HKEY_CURRENT_USER\\Software\\Quenmark\\Veldora\\OVX1\\0000\\Abc\\0102]"))
        << hive.constData();
    const auto parsed = platform::Hive::parse(RootKey::CurrentUser, hive);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->value(path, QStringLiteral("regstatus"))->text, u"E 2501021530");
    EXPECT_EQ(EngineRegistryValue(QStringLiteral("StartCount"))->number, 3u);

    QString text;
    ASSERT_TRUE(ReadRegistryValue(0, RootKey::CurrentUser, path + QStringLiteral("\\RegStatus"), &text));
    EXPECT_EQ(text, u"E 2501021530");
}

TEST(EngineRegistry, KeyThatCannotBeMadeStaysClosed)
{
    FourCC withZero("OVX1");
    withZero.SetFirstByte(0);
    EXPECT_FALSE(OpenEngineRegistryKey(withZero, FourCC("0000"), QStringLiteral("0102"), QStringLiteral("App")));
    EXPECT_FALSE(IsEngineRegistryKeyOpen());
    EXPECT_EQ(EngineApplicationName(), u"App");
    EXPECT_FALSE(SetEngineRegistryValue(QStringLiteral("RegStatus"), RegValue::fromString(QStringLiteral("F"))));
}

TEST(ReadRegistryValue, ValuesAsText)
{
    const QString key = QStringLiteral("SOFTWARE\\Maker\\Info");
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Count"), RegValue::fromDWord(255)));
    ASSERT_TRUE(
        Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("AllOnes"), RegValue::fromDWord(0xFFFFFFFFu)));
    ASSERT_TRUE(
        Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Big"), RegValue::fromQWord(0x100000000ull)));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Model"),
                                   RegValue::fromString(QStringLiteral("X 100"))));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Several"),
                                   RegValue::fromMultiString({QStringLiteral("first"), QStringLiteral("second")})));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Raw"),
                                   RegValue::fromBinary(QByteArray("A\0B\0\0\0C\0", 8))));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Huge"),
                                   RegValue::fromString(QString(1024, u'h'))));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, key, QStringLiteral("Fits"),
                                   RegValue::fromString(QString(1023, u'f'))));
    ASSERT_TRUE(
        Registry::setValue(RootKey::LocalMachine, key, QString(), RegValue::fromString(QStringLiteral("default"))));
    ASSERT_TRUE(Registry::setValue(RootKey::LocalMachine, QString(), QStringLiteral("AtRoot"),
                                   RegValue::fromString(QStringLiteral("top"))));

    struct Case {
        unsigned options;
        QString path;
        bool ok;
        QString text;
    };
    const Case cases[] = {
        {0, key + QStringLiteral("\\Count"), true, QStringLiteral("255")},
        {kRegistryHexNumbers, key + QStringLiteral("\\Count"), true, QStringLiteral("0x000000FF")},
        {0, key + QStringLiteral("\\AllOnes"), true, QStringLiteral("-1")},
        {kRegistryHexNumbers, key + QStringLiteral("\\AllOnes"), true, QStringLiteral("0xFFFFFFFF")},
        {0, key + QStringLiteral("\\Big"), true, QStringLiteral("4294967296")},
        {0, key + QStringLiteral("\\model"), true, QStringLiteral("X 100")},
        {0, key + QStringLiteral("\\Several"), true, QStringLiteral("first")},
        {0, key + QStringLiteral("\\Raw"), true, QStringLiteral("AB")},
        {0, key + QStringLiteral("\\Fits"), true, QString(1023, u'f')},
        {0, key + QStringLiteral("\\Huge"), false, QString()},
        {0, key + QStringLiteral("\\"), true, QStringLiteral("default")},
        {0, QStringLiteral("AtRoot"), true, QStringLiteral("top")},
        {0, key + QStringLiteral("\\Missing"), false, QString()},
        {0, QStringLiteral("SOFTWARE\\NoSuchKey\\Count"), false, QString()},
    };
    for (const Case& c : cases) {
        QString text = QStringLiteral("unchanged");
        EXPECT_EQ(ReadRegistryValue(c.options, RootKey::LocalMachine, c.path, &text), c.ok) << c.path.toStdString();
        EXPECT_EQ(text, c.ok ? c.text : QStringLiteral("unchanged")) << c.path.toStdString();
    }
}

}  // namespace
