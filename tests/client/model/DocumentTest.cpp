#include "client/BrevantDoc.h"
#include "client/Globals.h"
#include "client/MessageList.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace client;

namespace {

using modeltest::rows;

const QByteArray kFile =
    ">BeginMfgrInfo\nmfgr:OVEX\nfullname:Ovex Inc.\n>EndMfgrInfo\n"
    ">BeginChannel\nname:critical_updates\nfields:MODL\n>EndChannel\n"
    ">BeginRecord\nMFGR:OVEX\nMODL:x\n>EndRecord\n"
    ">BeginMessage\nid:old\noffer:Brought again\nurl:http://old\n>EndMessage\n"
    ">BeginMessage\nid:new\noffer:New\nurl:http://new\n>EndMessage\n";

// The message "old" is stored already and has been read.
void storeReadMessage()
{
    MessageList list;
    Message m = Message::FromTova({{"id", "old"}, {"offer", "Original"}, {"url", "http://old"}, {"mfgr", "OVEX"}});
    m.unread = false;
    list.Add(m);
    Message hidden = Message::FromTova({{"id", "no-page"}, {"offer", "No page"}});
    list.Add(hidden);
    list.Save();
}

class Document : public ::testing::TestWithParam<bool> {};

// Opening imports the "/import" file or the data folder's files and takes in their
// messages; a message already listed keeps its state. The data folder's file is used up,
// the user's own elsewhere kept.
TEST_P(Document, OpensWithImportAndMerges)
{
    const bool fromCommandLine = GetParam();
    storeReadMessage();
    const QString path = fromCommandLine ? testsupport::sandboxRoot() + "/elsewhere/chosen.tova"
                                         : Database::GetFolder() + "/Ovex Kelvo.tova";
    testsupport::writeFile(path, kFile);
    client::runState().importPath = fromCommandLine ? path : QString();

    CBrevantDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(QFile::exists(path), fromCommandLine);
    ASSERT_EQ(doc.Model().entries.size(), 1u);
    EXPECT_EQ(doc.Model().entries[0].records.size(), 1u);
    EXPECT_EQ(doc.Messages().Count(), 3);
    const Message& old = doc.Messages().GetAt(doc.Messages().IndexOf("old"));
    EXPECT_EQ(GetField(old.params, "title"), "Original");
    EXPECT_FALSE(old.unread);
    EXPECT_EQ(doc.ShownIds(), QStringList({"old", "new"}));
    client::runState().importPath.clear();
}

INSTANTIATE_TEST_SUITE_P(FromFolderOrCommandLine, Document, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ImportSwitch" : "DataFolder"; });

TEST(DocumentClose, DeletionAndReadStateAreSaved)
{
    testsupport::writeFile(Database::GetFolder() + "/r.tova", kFile);
    {
        CBrevantDoc doc;
        ASSERT_TRUE(doc.OnNewDocument());
        int updates = 0;
        QObject::connect(&doc, &CBrevantDoc::allViewsUpdated, [&] { ++updates; });
        doc.DeleteMessage("old");
        doc.DeleteMessage("unknown");
        EXPECT_EQ(updates, 1);
        EXPECT_EQ(doc.ShownIds(), QStringList({"new"}));
        doc.OnCloseDocument();
    }
    modeltest::reopen();
    CBrevantDoc reopened;
    ASSERT_TRUE(reopened.OnNewDocument());
    EXPECT_TRUE(reopened.Messages().GetAt(reopened.Messages().IndexOf("old")).deleted);
    EXPECT_EQ(reopened.ShownIds(), QStringList({"new"}));
    EXPECT_EQ(rows("SELECT msgid,deleted FROM Message ORDER BY msgid", {"msgid", "deleted"}),
              QStringList({"new|0", "old|1"}));
}

// A save the file refuses leaves the list as the file has it: the read mark goes, and the
// user does not take for stored what is not.
TEST(DocumentSave, AFailedSaveShowsWhatIsStored)
{
    storeReadMessage();
    CBrevantDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    Message& old = doc.Messages().GetAt(doc.Messages().IndexOf("old"));
    old.unread = true;
    old.modified = true;
    int updates = 0;
    QObject::connect(&doc, &CBrevantDoc::allViewsUpdated, [&] { ++updates; });
    Database::Query("PRAGMA query_only = 1", Database::Instance());
    EXPECT_FALSE(doc.SaveMessages());
    Database::Query("PRAGMA query_only = 0", Database::Instance());
    EXPECT_EQ(updates, 1);
    EXPECT_FALSE(doc.Messages().GetAt(doc.Messages().IndexOf("old")).unread);
    EXPECT_EQ(doc.ShownIds(), QStringList({"old"}));
    EXPECT_TRUE(doc.SaveMessages());
}

}  // namespace
