#include "client/MessageList.h"
#include "client/MfgrModel.h"
#include "client/TovaImport.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace client;

namespace {

using modeltest::count;
using modeltest::rows;

// A copy of a fixture in the data folder, where the launcher puts registration files.
QString placeFixture(const QString& fixture, const QString& name = {})
{
    const QString path = Database::GetFolder() + u'/' + (name.isEmpty() ? fixture : name);
    testsupport::writeFile(path, testsupport::readFile(modeltest::fixture(fixture)));
    return path;
}

QString place(const QString& name, const QByteArray& text)
{
    const QString path = Database::GetFolder() + u'/' + name;
    testsupport::writeFile(path, text);
    return path;
}

int rowsIn(const QString& table)
{
    return qMax(count(table), 0);  // a table never created holds nothing either
}

TEST(TovaImport, LauncherTemplateBecomesRows)
{
    const QString path = placeFixture("launcher-template.tova", "Ovex Kelvo.tova");
    MfgrModel model;
    ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), false));
    EXPECT_FALSE(QFile::exists(path));

    // Everything is committed: a fresh connection sees it.
    modeltest::reopen();
    EXPECT_EQ(rows("SELECT mfgr,fullname FROM Manufacturer", {"mfgr", "fullname"}), QStringList({"OVEX|Ovex Inc."}));
    EXPECT_EQ(rows("SELECT chnid,mfgr,name,title FROM Channel ORDER BY chnid", {"chnid", "mfgr", "name", "title"}),
              QStringList({"1|OVEX|critical_updates|Critical Updates", "2|OVEX|service_alerts|Service and Support",
                           "3|OVEX|product_updates|Product Updates"}));
    EXPECT_EQ(
        rows("SELECT description FROM Channel WHERE chnid=1", {"description"}),
        QStringList({"This channel will be used to communicate critical updates. You cannot unsubscribe from this "
                     "channel."}));
    EXPECT_EQ(rows("SELECT chnid,field FROM ChannelField ORDER BY chnid,rowid", {"chnid", "field"}),
              QStringList({"1|MODL", "1|CTRY", "1|USID", "2|MODL", "2|CTRY", "2|USID", "3|MODL", "3|CTRY", "3|USID"}));
    EXPECT_EQ(rows("SELECT recid,mfgr FROM RegRecord", {"recid", "mfgr"}), QStringList({"1|OVEX"}));
    EXPECT_EQ(rows("SELECT field,value FROM RegField ORDER BY field", {"field", "value"}),
              QStringList({"CTRY|USA", "LANG|ENU", "MFGR|OVEX", "MODL|Ovex Book 14", "PROD|0000", "SRNM|SN-4711",
                           "USID|7d3c1f2e-8a4b-4c5d-9e6f-0a1b2c3d4e5f", "VERS|0000"}));
    EXPECT_EQ(rows("SELECT recid,chnname,lastCheck,lastDownload FROM Subscription ORDER BY rowid",
                   {"recid", "chnname", "lastCheck", "lastDownload"}),
              QStringList({"1|critical_updates|0|0", "1|service_alerts|0|0", "1|product_updates|0|0"}));

    const QString welcome = "44cc1539-8360-4de3-8981-f70bb6c73714";
    EXPECT_EQ(
        rows("SELECT msgid,mfgr,channel,deleted,read FROM Message", {"msgid", "mfgr", "channel", "deleted", "read"}),
        QStringList({welcome + "|OVEX||0|0"}));
    const Message stored = Message::Load(welcome, Database::Instance());
    EXPECT_EQ(stored.params, (RecordMap{{"mfgr", "OVEX"},
                                        {"channel", ""},
                                        {"added", TodayDateText()},
                                        {"title", "Welcome to Ovex Kelvo"},
                                        {"url", "file:////opt/ovex-kelvo\\messages\\welcome.htm"}}));
    EXPECT_TRUE(stored.unread);

    ASSERT_EQ(model.entries.size(), 1u);
    EXPECT_EQ(model.entries[0].channels.size(), 3u);
    EXPECT_EQ(model.entries[0].records.size(), 1u);
    ASSERT_EQ(model.importedMessages.Count(), 1);
    EXPECT_EQ(model.importedMessages.GetAt(0).id, welcome);
}

TEST(TovaImport, RecordOfAnotherSpellingOfTheMakerIsSkipped)
{
    const QString path = placeFixture("record-mfgr-differs-in-case.tova");
    MfgrModel model;
    ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), false));
    EXPECT_EQ(rowsIn("Manufacturer"), 1);
    EXPECT_EQ(rowsIn("Channel"), 1);
    EXPECT_EQ(rowsIn("RegRecord"), 0);
    EXPECT_EQ(rowsIn("RegField"), 0);
    EXPECT_EQ(rowsIn("Message"), 1);
    EXPECT_TRUE(model.entries[0].records.empty());
}

// Every kind of bad file: nothing imported, nothing stored, the file left in place.
TEST(TovaImport, BadFilesAreLeftAlone)
{
    const QByteArray channel = ">BeginChannel\nname:c\n>EndChannel\n";
    const QByteArray message = ">BeginMessage\nid:1\noffer:o\nurl:u\n>EndMessage\n";
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"no manufacturer", channel + message},
        {"two manufacturers",
         ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n>BeginMfgrInfo\nmfgr:ACME\n>EndMfgrInfo\n" + message},
        {"three-letter code", ">BeginMfgrInfo\nmfgr:OVX\n>EndMfgrInfo\n" + message},
        {"code with a blank", ">BeginMfgrInfo\nmfgr: OVEX\n>EndMfgrInfo\n" + message},
        {"syntax error after good sections",
         ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n" + channel + message + "stray\n"},
        {"section open at the end", ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n" + channel + ">BeginMessage\nid:1\n"},
        {"over-long line in the last message", ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n" + channel +
                                                   ">BeginMessage\nid:1\nurl:" + QByteArray(3000, 'u') +
                                                   "\n>EndMessage\n"},
        {"binary junk", QByteArray("\x00\x01\xff\xfe>Begin\x00", 9)},
    };
    for (const auto& c : cases) {
        const QString path = place("bad.tova", c.text);
        MfgrModel model;
        EXPECT_FALSE(ImportTovaFile(model, path, Database::Instance(), false)) << c.name;
        EXPECT_TRUE(QFile::exists(path)) << c.name;
        EXPECT_TRUE(model.entries.empty()) << c.name;
        EXPECT_EQ(model.importedMessages.Count(), 0) << c.name;
        for (const char* table : {"Manufacturer", "Channel", "ChannelField", "RegRecord", "RegField", "Subscription",
                                  "Message", "MessageParam"})
            EXPECT_EQ(rowsIn(table), 0) << c.name << " " << table;
    }
    MfgrModel model;
    EXPECT_FALSE(ImportTovaFile(model, Database::GetFolder() + "/missing.tova", Database::Instance(), false));
}

TEST(TovaImport, MessagesWithoutPageOrIdAreSkipped)
{
    const QString path = place("m.tova",
                               ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n"
                               ">BeginMessage\nid:no-url\noffer:x\n>EndMessage\n"
                               ">BeginMessage\noffer:no id\nurl:http://a\n>EndMessage\n"
                               ">BeginMessage\noffer:no id either\nurl:http://b\n>EndMessage\n"
                               ">BeginMessage\nid:good\nurl:http://c\nendtime:4102444800\n>EndMessage\n");
    MfgrModel model;
    ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), false));
    ASSERT_EQ(model.importedMessages.Count(), 1);
    EXPECT_EQ(model.importedMessages.GetAt(0).id, "good");
    EXPECT_EQ(rows("SELECT msgid FROM Message", {"msgid"}), QStringList({"good"}));
    EXPECT_EQ(rows("SELECT value FROM MessageParam WHERE param='endtime'", {"value"}), QStringList({"4102444800"}));
}

// Through the menu the file stays and may be imported again: another record, no second
// channel, and the message with the same id updated.
TEST(TovaImport, SameFileTwiceThroughTheMenu)
{
    const QString path = placeFixture("launcher-template.tova");
    MfgrModel model;
    ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), true));
    QByteArray text = testsupport::readFile(path);
    text.replace("offer:Welcome to Ovex Kelvo", "offer:Welcome back");
    testsupport::writeFile(path, text);
    ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), true));
    EXPECT_TRUE(QFile::exists(path));

    EXPECT_EQ(rows("SELECT recid FROM RegRecord ORDER BY recid", {"recid"}), QStringList({"1", "2"}));
    EXPECT_EQ(rowsIn("Channel"), 3);
    EXPECT_EQ(rowsIn("ChannelField"), 9);
    ASSERT_EQ(model.entries.size(), 1u);
    EXPECT_EQ(model.entries[0].records.size(), 2u);
    EXPECT_EQ(model.entries[0].records[0].fields, model.entries[0].records[1].fields);
    ASSERT_EQ(model.importedMessages.Count(), 1);
    EXPECT_EQ(GetField(model.importedMessages.GetAt(0).params, "title"), "Welcome back");
    // A kept file's messages go to the document with the others.
    EXPECT_EQ(rowsIn("Message"), 0);
}

// The messages are in the database before the file goes, and a message the owner has
// already seen is not reset by a file that brings it again.
TEST(TovaImport, MessagesAreStoredBeforeTheFileIsDeleted)
{
    sqlite3* db = Database::Instance();
    MessageList existing;
    Message seen = Message::FromTova({{"id", "seen"}, {"offer", "Seen"}, {"url", "http://seen"}});
    seen.unread = false;
    seen.deleted = true;
    existing.Add(seen);
    existing.Save();

    const QString path = place("two.tova",
                               ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n"
                               ">BeginMessage\nid:seen\noffer:Changed\nurl:http://seen\n>EndMessage\n"
                               ">BeginMessage\nid:new\noffer:New\nurl:http://new\n>EndMessage\n");
    MfgrModel model;
    ASSERT_TRUE(ImportTovaFile(model, path, db, false));
    ASSERT_FALSE(QFile::exists(path));

    // As after a crash right here: only what was committed is left.
    db = modeltest::reopen();
    const Message kept = Message::Load("seen", db);
    EXPECT_EQ(GetField(kept.params, "title"), "Seen");
    EXPECT_FALSE(kept.unread);
    EXPECT_TRUE(kept.deleted);
    const Message fresh = Message::Load("new", db);
    EXPECT_EQ(GetField(fresh.params, "title"), "New");
    EXPECT_TRUE(fresh.unread);
    EXPECT_EQ(fresh.order, 2);
}

// A file whose rows cannot be stored (here the database may not grow: a full disk) stores
// nothing and stays for the next start, which imports it once there is room.
TEST(TovaImport, FileStaysWhenWhatItHoldsCannotBeStored)
{
    sqlite3* db = Database::Instance();
    MfgrModel first;
    ASSERT_TRUE(ImportTovaFile(first, placeFixture("launcher-template.tova"), db, false));
    const QString pages = rows("PRAGMA page_count", {"page_count"}).value(0);
    ASSERT_FALSE(pages.isEmpty());
    Database::Query(QStringLiteral("PRAGMA max_page_count=") + pages, db);

    // More than the pages left can hold, in lines the reader takes.
    const QByteArray offer(1500, 'x');
    QByteArray text = ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n>BeginRecord\nMFGR:OVEX\nMODL:M\n>EndRecord\n";
    for (int i = 0; i < 40; ++i)
        text +=
            ">BeginMessage\nid:big-" + QByteArray::number(i) + "\noffer:" + offer + "\nurl:http://big\n>EndMessage\n";
    const QString path = place("big.tova", text);
    MfgrModel full = first;
    EXPECT_FALSE(ImportTovaFile(full, path, db, false));
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(full.entries[0].records.size(), 1u);
    EXPECT_EQ(full.importedMessages.Count(), 1);
    EXPECT_EQ(rowsIn("RegRecord"), 1);
    EXPECT_EQ(rowsIn("Message"), 1);

    Database::Query(QStringLiteral("PRAGMA max_page_count=1073741823"), db);
    MfgrModel later;
    ASSERT_TRUE(ImportTovaFile(later, path, db, false));
    EXPECT_FALSE(QFile::exists(path));
    db = modeltest::reopen();
    EXPECT_EQ(GetField(Message::Load("big-39", db).params, "title").size(), offer.size());
    EXPECT_EQ(rowsIn("RegRecord"), 2);
}

// A write that fails part-way (the message table refuses rows) takes back the manufacturer,
// channels and records already written, so three starts store nothing three times.
TEST(TovaImport, FailedWriteStoresNothingAndIsNotRepeated)
{
    sqlite3* db = Database::Instance();
    ASSERT_TRUE(Message::CreateSchema(db));
    Database::Query(
        QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Message BEGIN SELECT RAISE(ABORT,'no'); END"), db);
    Database::Commit(db);
    const QString path = placeFixture("launcher-template.tova", "Ovex Kelvo.tova");
    for (int start = 0; start < 3; ++start) {
        MfgrModel model;
        EXPECT_FALSE(ImportTovaFile(model, path, db, false)) << start;
        EXPECT_TRUE(model.entries.empty()) << start;
        EXPECT_EQ(model.importedMessages.Count(), 0) << start;
    }
    EXPECT_TRUE(QFile::exists(path));
    modeltest::reopen();
    for (const char* table : {"Manufacturer", "Channel", "ChannelField", "RegRecord", "RegField", "Subscription",
                              "Message", "MessageParam"})
        EXPECT_EQ(rowsIn(table), 0) << table;
}

// A NUL byte anywhere in a value makes the file malformed: refused whole, kept, and
// nothing stored however often it is tried.
TEST(TovaImport, NulInAValueIsRefusedWhole)
{
    const QByteArray good = testsupport::readFile(modeltest::fixture("launcher-template.tova"));
    const struct {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"message line", QByteArray(good).replace("offer:Welcome", QByteArray("note:a") + '\0' + "b\noffer:Welcome")},
        {"record value", QByteArray(good).replace("MODL:Ovex Book 14", QByteArray("MODL:Ovex") + '\0' + "Book")},
        {"channel name", QByteArray(good).replace("name:service_alerts", QByteArray("name:service") + '\0')},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.text, good) << c.name;
        const QString path = place("nul.tova", c.text);
        for (int start = 0; start < 3; ++start) {
            MfgrModel model;
            EXPECT_FALSE(ImportTovaFile(model, path, Database::Instance(), false)) << c.name;
        }
        EXPECT_TRUE(QFile::exists(path)) << c.name;
        for (const char* table : {"Manufacturer", "Channel", "RegRecord", "RegField", "Message", "MessageParam"})
            EXPECT_EQ(rowsIn(table), 0) << c.name << " " << table;
    }
}

TEST(TovaImport, ApostrophesEverywhere)
{
    const QString path = place("q.tova",
                               ">BeginMfgrInfo\nmfgr:O'VX\nfullname:O'Vex's Inc.\n>EndMfgrInfo\n"
                               ">BeginChannel\nname:it's\ntitle:It's\ndescription:'d'\nfields:MO'L\n>EndChannel\n"
                               ">BeginRecord\nMFGR:O'VX\nMO'L:o'b\n>EndRecord\n"
                               ">BeginMessage\nid:'1'\noffer:Don't\nurl:http://x/'\nn'ote:'v'\n>EndMessage\n");
    {
        MfgrModel model;
        ASSERT_TRUE(ImportTovaFile(model, path, Database::Instance(), false));
    }
    modeltest::reopen();
    MfgrModel model;
    model.LoadAll();
    ASSERT_EQ(model.entries.size(), 1u);
    const MfgrEntry& e = model.entries[0];
    EXPECT_EQ(e.code, "O'VX");
    EXPECT_EQ(e.fullname, "O'Vex's Inc.");
    ASSERT_EQ(e.channels.size(), 1u);
    EXPECT_EQ(e.channels[0].fields,
              (RecordMap{{"name", "it's"}, {"mfgr", "O'VX"}, {"title", "It's"}, {"description", "'d'"}}));
    EXPECT_EQ(e.channels[0].fieldCodes, QStringList({"MO'L"}));
    ASSERT_EQ(e.records.size(), 1u);
    EXPECT_EQ(e.records[0].fields, (RecordMap{{"MFGR", "O'VX"}, {"MO'L", "o'b"}}));
    EXPECT_EQ(e.records[0].subscriptions.at(0).chnname, "it's");
    MessageList messages;
    messages.Load();
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.GetAt(0).id, "'1'");
    EXPECT_EQ(GetField(messages.GetAt(0).params, "title"), "Don't");
    EXPECT_EQ(GetField(messages.GetAt(0).params, "url"), "http://x/'");
    EXPECT_EQ(GetField(messages.GetAt(0).params, "n'ote"), "'v'");
    EXPECT_EQ(GetField(messages.GetAt(0).params, "mfgr"), "O'VX");
}

TEST(TovaImport, FolderImportsEveryFileAndKeepsBadOnes)
{
    MfgrModel empty;
    EXPECT_FALSE(ImportFolder(empty));

    const QString a = placeFixture("launcher-template.tova", "a.tova");
    const QString b = placeFixture("file-url-with-colons.tova", "b.TOVA");
    const QString c = placeFixture("record-mfgr-differs-in-case.tova", "c.tova");
    const QString bad = placeFixture("end-of-file-inside-section.tova", "d.tova");
    const QString other = placeFixture("launcher-template.tova", "e.txt");
    MfgrModel model;
    EXPECT_TRUE(ImportFolder(model));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_FALSE(QFile::exists(c));
    EXPECT_TRUE(QFile::exists(bad));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_EQ(model.entries.size(), 1u);
    EXPECT_EQ(model.importedMessages.Count(), 2);  // the welcome message and "m-1"
    EXPECT_EQ(rowsIn("RegRecord"), 1);
    EXPECT_EQ(rowsIn("Channel"), 3);

    // The file that failed stays, and fails again.
    MfgrModel again;
    EXPECT_FALSE(ImportFolder(again));
}

}  // namespace
