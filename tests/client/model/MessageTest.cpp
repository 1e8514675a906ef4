#include "client/Message.h"
#include "client/MessageList.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <xmlrpc.h>

using namespace client;

namespace {

using modeltest::count;
using modeltest::rows;

Message message(const QString& id, const RecordMap& params)
{
    Message m = Message::FromTova(params);
    m.id = id;
    return m;
}

TEST(Message, MembersFromServiceAndFile)
{
    XMLRPC_VALUE offer = modeltest::fromXml(
        "<value><struct>"
        "<member><name>ID</name><value><string>0123</string></value></member>"
        "<member><name>name</name><value><string>critical_updates</string></value></member>"
        "<member><name>offer</name><value><string>Caf\xc3\xa9</string></value></member>"
        "<member><name>URL</name><value><string>http://x/y?a=1</string></value></member>"
        "<member><name>endtime</name><value><int>1700000000</int></value></member>"
        "<member><name>flags</name><value><array><data/></array></value></member>"
        "<member><name>Title</name><value><boolean>1</boolean></value></member>"
        "</struct></value>");
    const Message fromService = Message::FromXmlRpc(offer);
    XMLRPC_CleanupValue(offer);
    const Message fromFile = Message::FromTova(RecordMap{{"id", "0123"},
                                                         {"name", "critical_updates"},
                                                         {"offer", "Caf\u00e9"},
                                                         {"url", "http://x/y?a=1"},
                                                         {"endtime", "1700000000"}});
    for (const Message* m : {&fromService, &fromFile}) {
        EXPECT_EQ(m->id, "0123");
        EXPECT_EQ(m->params, (RecordMap{{"channel", "critical_updates"},
                                        {"title", "Caf\u00e9"},
                                        {"url", "http://x/y?a=1"},
                                        {"endtime", "1700000000"}}));
        EXPECT_TRUE(m->modified);
        EXPECT_TRUE(m->unread);
        EXPECT_FALSE(m->deleted);
        EXPECT_EQ(m->order, -1);
    }
    EXPECT_EQ(GetField(Message::FromTova(RecordMap{{"Title", "t"}}).params, "title"), "t");
}

TEST(MessageStore, RoundTripWithApostrophesAndState)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Message::CreateSchema(db));
    Message m = message("it's-1", {{"mfgr", "O'VX"},
                                   {"name", "it's channel"},
                                   {"offer", "Don't miss"},
                                   {"url", "http://x/?q='a'"},
                                   {"added", "2040-06-01"},
                                   {"endtime", "4102444800"}});
    m.unread = false;
    m.deleted = true;
    m.NextOrder(db);
    EXPECT_EQ(m.order, 1);
    ASSERT_TRUE(m.Save(db));
    EXPECT_FALSE(m.modified);

    db = modeltest::reopen();
    const Message loaded = Message::Load("it's-1", db);
    EXPECT_EQ(loaded.params, m.params);
    EXPECT_FALSE(loaded.unread);
    EXPECT_TRUE(loaded.deleted);
    EXPECT_FALSE(loaded.modified);
    EXPECT_EQ(loaded.order, 1);
    // The 64-bit time is stored, not a 32-bit remainder.
    EXPECT_EQ(rows("SELECT added FROM Message", {"added"}),
              QStringList({QString::number(ParseIsoDateTime("2040-06-01"))}));

    // A date that does not parse is stored as -1 and read back as no date.
    Message bad = message("bad", {{"url", "u"}, {"added", "someday"}});
    bad.NextOrder(db);
    ASSERT_TRUE(bad.Save(db));
    EXPECT_EQ(GetField(Message::Load("bad", db).params, "added"), "0000-00-00");
}

// The ids are texts: ids that read alike as numbers are still different messages.
TEST(MessageStore, NumericLookingIdsKeepTheirOwnParameters)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Message::CreateSchema(db));
    const char* const ids[] = {"0123", "123", "1e3", "1000", "1.0", "1"};
    for (const char* id : ids) {
        Message m = message(id, {{"url", QString("http://x/") + id}});
        m.NextOrder(db);
        ASSERT_TRUE(m.Save(db));
    }
    db = modeltest::reopen();
    for (const char* id : ids)
        EXPECT_EQ(GetField(Message::Load(id, db).params, "url"), QString("http://x/") + id) << id;
    EXPECT_EQ(count("MessageParam"), 6);
}

// A file written with the old integer-keyed parameter table still reads as it did, and
// from then on keeps such ids apart.
TEST(MessageStore, OldParameterTableIsUpgraded)
{
    sqlite3* db = Database::Instance();
    Database::Query(
        "CREATE TABLE Message ( msgid TEXT NOT NULL PRIMARY KEY, mfgr TEXT NOT NULL, channel TEXT NOT NULL, added INTEGER "
        "NOT NULL, deleted INTEGER NOT NULL, read INTEGER NOT NULL, msgorder INTEGER NOT NULL );"
        "CREATE TABLE MessageParam ( msgid INTEGER NOT NULL, param TEXT NOT NULL, value TEXT NOT NULL, "
        "UNIQUE(msgid,param) );"
        "CREATE INDEX MessageParam_msgid ON MessageParam (msgid);"
        "INSERT INTO Message VALUES ('44cc1539-8360-4de3-8981-f70bb6c73714','OVEX','c',0,0,1,1);"
        "INSERT INTO Message VALUES ('0123','OVEX','c',0,0,0,2);"
        "INSERT INTO MessageParam VALUES ('44cc1539-8360-4de3-8981-f70bb6c73714','url','file:///welcome.htm');"
        "INSERT INTO MessageParam VALUES ('0123','url','http://x/0123');"
        "INSERT INTO MessageParam VALUES ('77','url','orphan');",
        db);
    Database::Commit(db);

    MessageList list;
    list.Load();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(GetField(list.GetAt(list.IndexOf("44cc1539-8360-4de3-8981-f70bb6c73714")).params, "url"),
              "file:///welcome.htm");
    EXPECT_EQ(GetField(list.GetAt(list.IndexOf("0123")).params, "url"), "http://x/0123");
    EXPECT_EQ(rows("SELECT type FROM pragma_table_info('MessageParam') WHERE name='msgid'", {"type"}),
              QStringList({"TEXT"}));
    EXPECT_EQ(rows("SELECT name FROM sqlite_master WHERE name LIKE 'MessageParam%' ORDER BY name", {"name"}),
              QStringList({"MessageParam", "MessageParam_msgid"}));

    Message other = message("123", {{"url", "http://x/123"}});
    list.Add(other);
    list.Save();
    db = modeltest::reopen();
    EXPECT_EQ(GetField(Message::Load("0123", db).params, "url"), "http://x/0123");
    EXPECT_EQ(GetField(Message::Load("123", db).params, "url"), "http://x/123");
}

TEST(MessageList, AddUpdatesKnownIdsButKeepsTheOwnersState)
{
    MessageList list;
    Message first = message("a", {{"offer", "Old"}, {"url", "u"}, {"old", "1"}});
    first.order = 7;
    ASSERT_EQ(list.Add(first), 0);
    list.GetAt(0).unread = false;
    list.GetAt(0).deleted = true;
    ASSERT_EQ(list.Add(message("b", {{"url", "u"}})), 1);

    Message again = message("a", {{"offer", "New"}, {"url", "u2"}});
    EXPECT_EQ(list.Add(again), 0);
    const Message& stored = list.GetAt(0);
    EXPECT_EQ(stored.params, again.params);
    EXPECT_FALSE(stored.unread);
    EXPECT_TRUE(stored.deleted);
    EXPECT_EQ(stored.order, 7);
    EXPECT_TRUE(stored.modified);
    EXPECT_EQ(list.Count(), 2);

    // Messages without an id never meet under the empty one.
    EXPECT_EQ(list.Add(message("", {{"url", "x"}})), -1);
    EXPECT_EQ(list.Add(message("", {{"url", "y"}})), -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(MessageList, LookupsOutsideTheListGiveTheEmptyMessage)
{
    MessageList list;
    list.Add(message("a", {{"url", "u"}}));
    for (int position : {-1, 1}) {
        Message& m = list.GetAt(position);
        EXPECT_TRUE(m.IsEmpty());
        EXPECT_TRUE(m.modified);
        EXPECT_FALSE(m.unread);
        EXPECT_EQ(m.order, -1);
        m.id = "scribbled";  // must not leak into the next failed lookup
    }
    EXPECT_TRUE(list.GetAt(5).IsEmpty());
    EXPECT_TRUE(static_cast<const MessageList&>(list).GetAt(-1).IsEmpty());
    EXPECT_EQ(list.IndexOf("nope"), -1);

    // Saving the empty message writes nothing.
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Message::CreateSchema(db));
    Message empty = Message::Empty();
    empty.order = 5;
    EXPECT_FALSE(empty.Save(db));
    EXPECT_EQ(count("Message"), 0);
}

TEST(MessageList, Expiry)
{
    const qint64 now = CurrentTime();
    const struct {
        QString endtime;
        bool deleted;
    } cases[] = {
        {QString::number(now - 60), true},
        {"1", true},
        {QString::number(now + 3600), false},
        {"4102444800", false},  // 2100: far future, not wrapped into the past
        {"0", false},
        {"", false},
        {"soon", false},
        {"-5", false},
    };
    MessageList list;
    int n = 0;
    for (const auto& c : cases) {
        Message m = message(QString::number(n++), {{"url", "u"}, {"endtime", c.endtime}});
        m.modified = false;
        const Message& stored = list.GetAt(list.Add(m));
        EXPECT_EQ(stored.deleted, c.deleted) << c.endtime.toStdString();
        EXPECT_FALSE(stored.modified);
    }
}

TEST(MessageList, LoadOrdersByAddedThenOrderAndSavesOnlyModified)
{
    sqlite3* db = Database::Instance();
    MessageList list;
    list.Add(message("late", {{"url", "u"}, {"added", "2009-01-01"}}));
    list.Add(message("early-2", {{"url", "u"}, {"added", "2008-01-01"}}));
    list.Add(message("early-1", {{"url", "u"}, {"added", "2008-01-01"}}));
    list.Save();
    for (const char* id : {"late", "early-2", "early-1"})
        EXPECT_FALSE(list.GetAt(list.IndexOf(id)).modified);
    EXPECT_EQ(rows("SELECT msgid,msgorder FROM Message ORDER BY msgorder", {"msgid", "msgorder"}),
              QStringList({"late|1", "early-2|2", "early-1|3"}));

    // An unmodified message is not written again.
    Database::Query("UPDATE Message SET channel='changed elsewhere' WHERE msgid='late'", db);
    Database::Commit(db);
    list.Save();
    EXPECT_EQ(rows("SELECT channel FROM Message WHERE msgid='late'", {"channel"}), QStringList({"changed elsewhere"}));

    modeltest::reopen();
    MessageList loaded;
    loaded.Load();
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.GetAt(0).id, "early-2");
    EXPECT_EQ(loaded.GetAt(1).id, "early-1");
    EXPECT_EQ(loaded.GetAt(2).id, "late");
    EXPECT_TRUE(loaded.GetAt(0).unread);
}

TEST(MessageStore, DeleteAllByMakerOrEverything)
{
    sqlite3* db = Database::Instance();
    MessageList list;
    list.Add(message("o1", {{"mfgr", "OVEX"}, {"url", "u"}}));
    list.Add(message("o'2", {{"mfgr", "OVEX"}, {"url", "u"}}));
    list.Add(message("a1", {{"mfgr", "AC'E"}, {"url", "u"}}));
    list.Save();

    Message::DeleteAll("AC'E", db);
    modeltest::reopen();
    EXPECT_EQ(rows("SELECT msgid FROM Message ORDER BY msgid", {"msgid"}), QStringList({"o'2", "o1"}));
    EXPECT_EQ(rows("SELECT DISTINCT msgid FROM MessageParam ORDER BY msgid", {"msgid"}), QStringList({"o'2", "o1"}));

    Message::DeleteAll(QString(), Database::Instance());
    modeltest::reopen();
    MessageList after;
    after.Load();
    EXPECT_EQ(after.Count(), 0);
    EXPECT_EQ(count("MessageParam"), 0);
}

}  // namespace
