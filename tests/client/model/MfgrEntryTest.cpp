#include "client/MfgrEntry.h"
#include "client/MfgrModel.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

using namespace client;

namespace {

using modeltest::rows;

Channel channel(const QString& name, const QString& fields, const QString& title = {})
{
    return Channel(RecordMap{{"name", name}, {"mfgr", "OVEX"}, {"fields", fields}, {"title", title}});
}

TEST(MfgrEntry, AddChannelKeepsTheStoredId)
{
    MfgrEntry e("OVEX", RecordMap{{"fullname", "Ovex Inc."}});
    EXPECT_EQ(e.fullname, "Ovex Inc.");
    EXPECT_TRUE(e.AddChannel(channel("critical_updates", "MODL", "Old"), false));
    e.channels[0].chnid = "3";

    EXPECT_FALSE(e.AddChannel(channel("Critical_Updates", "USID", "Ignored"), false));
    EXPECT_EQ(GetField(e.channels[0].fields, "title"), "Old");

    Channel fresh = channel("critical_updates", "CTRY", "New");
    fresh.chnid = "77";
    EXPECT_FALSE(e.AddChannel(fresh, true));
    ASSERT_EQ(e.channels.size(), 1u);
    EXPECT_EQ(GetField(e.channels[0].fields, "title"), "New");
    EXPECT_EQ(e.channels[0].fieldCodes, QStringList({"CTRY"}));
    EXPECT_EQ(e.channels[0].chnid, "3");
}

TEST(MfgrEntry, CollectChannelsSubscribesRecordsToNewOnesOnly)
{
    MfgrEntry e("OVEX", {});
    e.AddChannel(channel("Critical_Updates", "MODL"), false);  // as a file spells it
    e.records.resize(2);
    for (RegRecord& r : e.records) {
        r.AddSubscription("Critical_Updates");
        r.SetLastCheck("Critical_Updates", 50);
    }

    Channel again(RecordMap{{"name", "critical_updates"}, {"title", "Renamed"}});
    Channel brandNew(RecordMap{{"name", "product_updates"}});
    e.CollectChannels({again, brandNew});

    ASSERT_EQ(e.channels.size(), 2u);
    EXPECT_EQ(GetField(e.channels[0].fields, "title"), "Renamed");
    EXPECT_EQ(e.channels[1].Mfgr(), "OVEX");  // stamped with the entry's code
    for (const RegRecord& r : e.records) {
        ASSERT_EQ(r.subscriptions.size(), 2u);
        EXPECT_EQ(r.subscriptions[0].lastCheck, 50);
        EXPECT_EQ(r.subscriptions[1].chnname, "product_updates");
        EXPECT_EQ(r.subscriptions[1].lastCheck, 0);
    }
}

// The records parameter as it goes over the wire: "data" before "channels", each field
// once though two channels ask for it, nothing of a channel the entry does not know, and
// a subscription spelt in another case than its channel still counted.
TEST(MfgrEntry, RecordsParameterGolden)
{
    MfgrEntry e("OVEX", {});
    e.AddChannel(channel("critical_updates", "MODL CTRY"), false);
    e.AddChannel(channel("service_alerts", "CTRY USID"), false);

    RegRecord first(RecordMap{{"MFGR", "OVEX"}, {"MODL", "Book <14>"}, {"CTRY", "USA"}, {"SRNM", "not asked for"}});
    first.AddSubscription("critical_updates");
    first.AddSubscription("retired_channel");
    first.AddSubscription("Service_Alerts");
    first.SetLastCheck("critical_updates", 1234567890);
    first.SetLastCheck("retired_channel", 5);
    first.SetLastCheck("Service_Alerts", Q_INT64_C(4102444800));  // past 2038: clamped, never wrapped
    RegRecord second(RecordMap{{"MFGR", "OVEX"}});
    e.records = {first, second};

    EXPECT_EQ(modeltest::toXml(e.BuildRecordsParam()),
              "<value><array><data>"
              "<value><struct>"
              "<member><name>data</name><value><struct>"
              "<member><name>CTRY</name><value><string>USA</string></value></member>"
              "<member><name>MODL</name><value><string>Book &#60;14&#62;</string></value></member>"
              "<member><name>USID</name><value><string/></value></member>"
              "</struct></value></member>"
              "<member><name>channels</name><value><array><data>"
              "<value><struct><member><name>name</name><value><string>critical_updates</string></value></member>"
              "<member><name>lastCheck</name><value><int>1234567890</int></value></member></struct></value>"
              "<value><struct><member><name>name</name><value><string>Service_Alerts</string></value></member>"
              "<member><name>lastCheck</name><value><int>2147483647</int></value></member></struct></value>"
              "</data></array></value></member>"
              "</struct></value>"
              "<value><struct>"
              "<member><name>data</name><value><struct/></value></member>"
              "<member><name>channels</name><value><array><data/></array></value></member>"
              "</struct></value>"
              "</data></array></value>");
}

TEST(MfgrEntryStore, ApplySubscriptions)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(RegRecord::CreateSchema(db));
    MfgrEntry e("OVEX", {});
    const std::vector<Channel> all = {channel("critical_updates", "MODL"), channel("service_alerts", "MODL"),
                                      channel("product_updates", "MODL")};
    e.records.resize(1);
    e.records[0].AddSubscription("critical_updates");
    e.records[0].AddSubscription("service_alerts");
    e.records[0].SetLastCheck("critical_updates", 77);

    e.ApplySubscriptions({all[0], all[2]}, db);
    modeltest::reopen();
    EXPECT_EQ(rows("SELECT chnname,lastCheck FROM Subscription ORDER BY chnname", {"chnname", "lastCheck"}),
              QStringList({"critical_updates|77", "product_updates|0"}));

    e.ApplySubscriptions({}, Database::Instance());
    modeltest::reopen();
    EXPECT_EQ(modeltest::count("Subscription"), 0);
}

TEST(MfgrModel, FindOrAddComparesCodesExactly)
{
    MfgrModel model;
    model.FindOrAddMfgr("OVEX", RecordMap{{"fullname", "Ovex Inc."}});
    EXPECT_EQ(model.FindOrAddMfgr("OVEX", RecordMap{{"fullname", "Other"}}).fullname, "Ovex Inc.");
    model.FindOrAddMfgr("ovex", {});
    EXPECT_EQ(model.entries.size(), 2u);
}

TEST(MfgrModel, LoadAllRoundTrip)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Manufacturer::CreateSchema(db) && Channel::CreateSchema(db) && RegRecord::CreateSchema(db));
    MfgrEntry ovex("OVEX", RecordMap{{"fullname", "O'Vex Inc."}});
    MfgrEntry acme("ACME", RecordMap{{"fullname", "Acme"}});
    Manufacturer::Save(db, ovex);
    Manufacturer::Save(db, acme);
    Channel c = channel("critical_updates", "MODL CTRY", "Critical");
    c.Save(db);
    Channel a(RecordMap{{"name", "news"}, {"mfgr", "ACME"}});
    a.Save(db);
    RegRecord r(RecordMap{{"MFGR", "OVEX"}, {"MODL", "x"}});
    r.AddSubscription("critical_updates");
    r.Save(db);

    modeltest::reopen();
    MfgrModel model;
    model.LoadAll();
    ASSERT_EQ(model.entries.size(), 2u);
    const MfgrEntry& loaded = model.FindOrAddMfgr("OVEX", {});
    EXPECT_EQ(loaded.fullname, "O'Vex Inc.");
    ASSERT_EQ(loaded.channels.size(), 1u);
    EXPECT_EQ(loaded.channels[0].chnid, c.chnid);
    EXPECT_EQ(QStringList(loaded.channels[0].fieldCodes).size(), 2);
    ASSERT_EQ(loaded.records.size(), 1u);
    EXPECT_EQ(loaded.records[0].fields, r.fields);
    ASSERT_EQ(loaded.records[0].subscriptions.size(), 1u);
    const MfgrEntry& other = model.FindOrAddMfgr("ACME", {});
    EXPECT_EQ(other.channels.size(), 1u);
    EXPECT_TRUE(other.records.empty());
    EXPECT_EQ(model.entries.size(), 2u);
}

}  // namespace
