#include "client/Channel.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <xmlrpc.h>

using namespace client;

namespace {

using modeltest::count;
using modeltest::rows;

TEST(Channel, FromSectionSplitsFieldCodes)
{
    const Channel c(RecordMap{{"name", "Critical_Updates"}, {"fields", "  MFGR  SRNM PRNM  "}, {"title", "T"}});
    EXPECT_EQ(c.fieldCodes, QStringList({"MFGR", "SRNM", "PRNM"}));
    EXPECT_FALSE(c.fields.contains("fields"));
    EXPECT_EQ(c.Name(), "Critical_Updates");  // a file keeps the case of its names
    EXPECT_TRUE(c.chnid.isEmpty());
}

TEST(Channel, FromServiceStruct)
{
    XMLRPC_VALUE v = modeltest::fromXml(
        "<value><struct>"
        "<member><name>Name</name><value><string>Critical_Updates</string></value></member>"
        "<member><name>Title</name><value><string>Caf\xc3\xa9 'news'</string></value></member>"
        "<member><name>fields</name><value><array><data>"
        "<value><string>MODL</string></value><value><int>7</int></value><value><struct/></value>"
        "<value><string>CTRY</string></value></data></array></value></member>"
        "<member><name>priority</name><value><int>3</int></value></member>"
        "<member><name>weight</name><value><double>1.5</double></value></member>"
        "<member><name>tags</name><value><array><data><value><string>x</string></value></data></array></value></member>"
        "</struct></value>");
    ASSERT_NE(v, nullptr);
    const Channel c = Channel::FromXmlRpc(v);
    XMLRPC_CleanupValue(v);
    EXPECT_EQ(c.Name(), "critical_updates");
    EXPECT_EQ(GetField(c.fields, "title"), "Caf\u00e9 'news'");
    EXPECT_EQ(c.fieldCodes, QStringList({"MODL", "7", "CTRY"}));
    EXPECT_EQ(GetField(c.fields, "priority"), "3");
    EXPECT_FALSE(c.fields.contains("weight"));
    EXPECT_FALSE(c.fields.contains("tags"));
    // The file's spelling and the service's are one channel.
    Channel fromService = c;
    fromService.fields.insert("mfgr", "OVEX");
    EXPECT_TRUE(fromService.IsSame(Channel(RecordMap{{"name", "Critical_Updates"}, {"mfgr", "OVEX"}})));
}

// A "fields" member that is no array, and members that are no strings, are passed over.
TEST(Channel, FromServiceStructOddMembers)
{
    const char* const replies[] = {
        "<value><struct><member><name>fields</name><value><string>MODL CTRY</string></value></member>"
        "<member><name>name</name><value><string>a</string></value></member></struct></value>",
        "<value><struct><member><name>fields</name><value><int>4</int></value></member>"
        "<member><name>name</name><value><string>a</string></value></member></struct></value>",
        "<value><struct><member><name>name</name><value><boolean>1</boolean></value></member>"
        "<member><name>name</name><value><string>a</string></value></member></struct></value>",
    };
    for (const char* reply : replies) {
        XMLRPC_VALUE v = modeltest::fromXml(reply);
        const Channel c = Channel::FromXmlRpc(v);
        XMLRPC_CleanupValue(v);
        EXPECT_TRUE(c.fieldCodes.isEmpty()) << reply;
        EXPECT_FALSE(c.fields.contains("fields")) << reply;
        EXPECT_EQ(c.Name(), "a") << reply;
    }
    EXPECT_TRUE(Channel::FromXmlRpc(nullptr).fields.isEmpty());
}

TEST(Channel, IsSameIgnoresCaseOfNameAndMaker)
{
    const Channel a(RecordMap{{"name", "Critical_Updates"}, {"mfgr", "OVEX"}});
    EXPECT_TRUE(a.IsSame(Channel(RecordMap{{"name", "critical_updates"}, {"mfgr", "ovex"}})));
    EXPECT_FALSE(a.IsSame(Channel(RecordMap{{"name", "critical_updates"}, {"mfgr", "ACME"}})));
    EXPECT_FALSE(a.IsSame(Channel(RecordMap{{"name", "service_alerts"}, {"mfgr", "OVEX"}})));
}

TEST(ChannelStore, RoundTripAndResave)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Channel::CreateSchema(db));
    Channel c(RecordMap{{"name", "o'brien's"},
                        {"mfgr", "OVEX"},
                        {"title", "It's new"},
                        {"description", "'quoted'"},
                        {"fields", "MODL CTRY"},
                        {"extra", "kept in memory only"}});
    ASSERT_TRUE(c.Save(db));
    EXPECT_EQ(c.chnid, "1");

    db = modeltest::reopen();
    Channel loaded = Channel::Load("1", db);
    EXPECT_EQ(loaded.chnid, "1");
    EXPECT_EQ(loaded.fields,
              (RecordMap{{"name", "o'brien's"}, {"mfgr", "OVEX"}, {"title", "It's new"}, {"description", "'quoted'"}}));
    loaded.fieldCodes.sort();  // rows come in the table's order, not the order saved
    EXPECT_EQ(loaded.fieldCodes, QStringList({"CTRY", "MODL"}));

    // The second save's codes are the only ones left.
    loaded.fieldCodes = {"USID"};
    ASSERT_TRUE(loaded.Save(db));
    db = modeltest::reopen();
    EXPECT_EQ(Channel::Load("1", db).fieldCodes, QStringList({"USID"}));
    EXPECT_EQ(count("Channel"), 1);

    // A new id under a stored maker and name replaces that row (UNIQUE(mfgr,name)).
    Channel twin(RecordMap{{"name", "o'brien's"}, {"mfgr", "OVEX"}, {"title", "twin"}});
    ASSERT_TRUE(twin.Save(db));
    EXPECT_EQ(twin.chnid, "2");
    EXPECT_EQ(rows("SELECT chnid,title FROM Channel", {"chnid", "title"}), QStringList({"2|twin"}));

    const Channel unknown = Channel::Load("99", db);
    EXPECT_EQ(unknown.chnid, "99");
    EXPECT_TRUE(unknown.fields.isEmpty());
    EXPECT_TRUE(unknown.fieldCodes.isEmpty());
}

// Without its Channel table NextId fails; the save must not file field rows under ''.
TEST(ChannelStore, FailedIdWritesNothing)
{
    sqlite3* db = Database::Instance();
    Database::Query("CREATE TABLE ChannelField ( chnid INTEGER NOT NULL, field TEXT NOT NULL, UNIQUE(chnid,field) )",
                    db);
    Channel c(RecordMap{{"name", "a"}, {"mfgr", "OVEX"}, {"fields", "MODL"}});
    EXPECT_FALSE(c.Save(db));
    EXPECT_TRUE(c.chnid.isEmpty());
    EXPECT_EQ(count("ChannelField"), 0);
}

}  // namespace
