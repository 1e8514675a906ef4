#include "client/Database.h"
#include "client/Settings.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace client;

namespace {

Database::Rows settingRows()
{
    return Database::Query(QStringLiteral("SELECT setting,value FROM Setting ORDER BY setting"), Database::Instance());
}

TEST(Settings, DefaultsAndCaseInsensitiveNames)
{
    Settings& s = Settings::Instance();
    s.Load();
    EXPECT_EQ(s.Get(QStringLiteral("UserOptIn")), QStringLiteral("0"));
    EXPECT_EQ(s.Get(QStringLiteral("ShowVistaWarning")), QStringLiteral("1"));
    EXPECT_EQ(s.Get(QStringLiteral("PlayNewMessageSound")), QStringLiteral("1"));
    EXPECT_EQ(s.Get(QStringLiteral("UpdateFrequency")), QStringLiteral("0"));
    EXPECT_EQ(s.Get(QStringLiteral("NoSuchSetting")), QString());

    s.Set(QStringLiteral("USEROPTIN"), QStringLiteral("1"));
    EXPECT_EQ(s.Get(QStringLiteral("useroptin")), QStringLiteral("1"));
    EXPECT_EQ(s.GetDefault(QStringLiteral("UserOptIn")), QStringLiteral("0"));
}

// Only what was loaded or set is stored, a value equal to its default included.
TEST(Settings, SaveWritesOnlyLoadedOrSetValues)
{
    Settings& s = Settings::Instance();
    s.Load();
    s.Set(QStringLiteral("UserOptIn"), QStringLiteral("1"));
    s.Set(QStringLiteral("UpdateFrequency"), QStringLiteral("0"));
    s.Set(QStringLiteral("Note"), QStringLiteral("it's mine"));
    s.Save();

    const Database::Rows rows = settingRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(GetField(rows[0], QStringLiteral("setting")), QStringLiteral("note"));
    EXPECT_EQ(GetField(rows[0], QStringLiteral("value")), QStringLiteral("it's mine"));
    EXPECT_EQ(GetField(rows[1], QStringLiteral("setting")), QStringLiteral("updatefrequency"));
    EXPECT_EQ(GetField(rows[2], QStringLiteral("setting")), QStringLiteral("useroptin"));
    EXPECT_EQ(GetField(rows[2], QStringLiteral("value")), QStringLiteral("1"));

    // Loaded back in a fresh settings object, under lower-case names.
    Database::Query(QStringLiteral("INSERT INTO Setting VALUES ('PlayNewMessageSound','0')"), Database::Instance());
    s.Reset();
    s.Load();
    EXPECT_EQ(s.Get(QStringLiteral("note")), QStringLiteral("it's mine"));
    EXPECT_EQ(s.Get(QStringLiteral("playnewmessagesound")), QStringLiteral("0"));
}

}  // namespace
