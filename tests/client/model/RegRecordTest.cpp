#include "client/RegRecord.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

using namespace client;

namespace {

using modeltest::count;
using modeltest::rows;

TEST(RegRecord, Subscriptions)
{
    RegRecord r(RecordMap{{"MFGR", "OVEX"}});
    EXPECT_EQ(r.GetMfgrCode(), "OVEX");
    EXPECT_GE(r.added, CurrentTime() - 5);
    r.AddSubscription("critical_updates");
    r.AddSubscription("service_alerts");
    r.AddSubscription("critical_updates");
    // The service lower-cases names a file may spell otherwise: still one subscription.
    r.AddSubscription("Critical_Updates");
    ASSERT_EQ(r.subscriptions.size(), 2u);

    r.SetLastCheck("CRITICAL_UPDATES", 42);
    r.SetLastCheck("unknown", 99);
    EXPECT_EQ(r.subscriptions[0].chnname, "critical_updates");
    EXPECT_EQ(r.subscriptions[0].lastCheck, 42);
    EXPECT_EQ(r.subscriptions[1].lastCheck, 0);
}

TEST(RegRecordStore, RoundTrip)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(RegRecord::CreateSchema(db));
    RegRecord r(RecordMap{{"MFGR", "OV'X"}, {"Modl", "O'Book 14"}, {"USID", "u-1"}, {"EMPTY", ""}});
    r.added = Q_INT64_C(4102444800);  // past 2038
    r.AddSubscription("it's news");
    r.AddSubscription("service_alerts");
    r.SetLastCheck("it's news", Q_INT64_C(4102444801));
    ASSERT_TRUE(r.Save(db));
    EXPECT_EQ(r.recid, "1");

    db = modeltest::reopen();
    RegRecord loaded = RegRecord::Load("1", db);
    EXPECT_EQ(loaded.recid, "1");
    EXPECT_EQ(loaded.added, r.added);
    EXPECT_EQ(loaded.fields, r.fields);
    ASSERT_EQ(loaded.subscriptions.size(), 2u);
    EXPECT_EQ(loaded.subscriptions[0].chnname, "it's news");
    EXPECT_EQ(loaded.subscriptions[0].lastCheck, Q_INT64_C(4102444801));
    EXPECT_EQ(loaded.subscriptions[1].lastCheck, 0);
    EXPECT_EQ(rows("SELECT mfgr FROM RegRecord", {"mfgr"}), QStringList({"OV'X"}));
    EXPECT_EQ(rows("SELECT DISTINCT lastDownload FROM Subscription", {"lastDownload"}), QStringList({"0"}));

    // Dropped subscriptions lose their rows; a record without MFGR is stored all the same.
    loaded.subscriptions.erase(loaded.subscriptions.begin());
    ASSERT_TRUE(loaded.Save(db));
    RegRecord bare{RecordMap{{"MODL", "x"}}};
    ASSERT_TRUE(bare.Save(db));
    db = modeltest::reopen();
    EXPECT_EQ(rows("SELECT recid,chnname FROM Subscription", {"recid", "chnname"}), QStringList({"1|service_alerts"}));
    EXPECT_EQ(rows("SELECT recid,mfgr FROM RegRecord ORDER BY recid", {"recid", "mfgr"}),
              QStringList({"1|OV'X", "2|"}));

    const RegRecord unknown = RegRecord::Load("9", db);
    EXPECT_EQ(unknown.recid, "9");
    EXPECT_TRUE(unknown.fields.isEmpty());
    EXPECT_EQ(unknown.added, 0);
}

TEST(RegRecordStore, UpdateLastCheckIsStored)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(RegRecord::CreateSchema(db));
    std::vector<RegRecord> records(2, RegRecord(RecordMap{{"MFGR", "OVEX"}}));
    for (RegRecord& r : records) {
        r.AddSubscription("critical_updates");
        r.AddSubscription("product_updates");
        r.subscriptions[1].lastCheck = 5;
    }
    records[1].subscriptions.erase(records[1].subscriptions.begin());
    const qint64 before = CurrentTime();
    RegRecord::UpdateLastCheck(records, {"Critical_Updates", "other"}, db);

    db = modeltest::reopen();
    const RegRecord first = RegRecord::Load(records[0].recid, db);
    const RegRecord second = RegRecord::Load(records[1].recid, db);
    ASSERT_EQ(first.subscriptions.size(), 2u);
    EXPECT_GE(first.subscriptions[0].lastCheck, before);
    EXPECT_EQ(first.subscriptions[1].lastCheck, 5);
    ASSERT_EQ(second.subscriptions.size(), 1u);
    EXPECT_EQ(second.subscriptions[0].lastCheck, 5);
}

// Without the RegRecord table NextId fails; the save must leave no rows filed under ''.
TEST(RegRecordStore, FailedIdWritesNothing)
{
    sqlite3* db = Database::Instance();
    Database::Query(
        "CREATE TABLE RegField ( recid INTEGER NOT NULL, field TEXT NOT NULL, value TEXT );"
        "CREATE TABLE Subscription ( recid INTEGER NOT NULL, chnname TEXT NOT NULL, lastCheck INTEGER NOT "
        "NULL, lastDownload INTEGER NOT NULL, UNIQUE (recid,chnname) )",
        db);
    RegRecord r(RecordMap{{"MFGR", "OVEX"}});
    r.AddSubscription("a");
    EXPECT_FALSE(r.Save(db));
    EXPECT_TRUE(r.recid.isEmpty());
    EXPECT_EQ(count("RegField"), 0);
    EXPECT_EQ(count("Subscription"), 0);
}

}  // namespace
