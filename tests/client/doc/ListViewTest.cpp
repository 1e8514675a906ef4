// The list view: stepping through the list, showing a message, and the import through
// the menu.
#include "client/ui/MessageViewer.h"
#include "tests/client/doc/DocTestSupport.h"
#include "tests/peers/Peers.h"

#include <QFile>
#include <QTreeWidget>

using namespace client;

namespace {

using namespace doctest;

class ListView : public ClientTest {
protected:
    // A plain start with the messages `ids`, all unread; it shows the first one.
    void startWith(const QStringList& ids)
    {
        putInDataFolder("r.tova", tovaFile("OVEX", ids));
        ASSERT_TRUE(start({}));
        ASSERT_EQ(view()->List()->topLevelItemCount(), ids.size());
    }
    QString selectedId() const
    {
        const QList<QTreeWidgetItem*> selected = view()->List()->selectedItems();
        return selected.size() == 1 ? selected[0]->data(0, Qt::UserRole).toString() : QString("<none>");
    }
};

TEST_F(ListView, StepsWrapAndSelect)
{
    const struct {
        const char* what;
        int items;
        int current;
        int step;
        int expected;
    } cases[] = {
        {"forward", 3, 0, 1, 1},
        {"past the last to the first", 3, 2, 1, 0},
        {"before the first to the last", 3, 0, -1, 2},
        {"from none, forward", 3, -1, 1, 0},
        {"one item stays", 1, 0, 1, 0},
        {"one item stays backward", 1, 0, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList ids;
        for (int i = 0; i < c.items; ++i)
            ids << QStringLiteral("m%1").arg(i);
        freshStart();
        startWith(ids);
        view()->SetCurrent(c.current);
        view()->StepSelection(c.step);
        EXPECT_EQ(view()->Current(), c.expected);
        EXPECT_EQ(selectedId(), ids[c.expected]);
    }
}

TEST_F(ListView, EmptyListHasNoSelection)
{
    ASSERT_TRUE(start({}));
    view()->StepSelection(1);
    EXPECT_EQ(view()->Current(), -1);
    view()->ShowMessage();
    EXPECT_TRUE(view()->Viewer()->isVisible());
    EXPECT_EQ(view()->Viewer()->CurrentIndex(), -1);
}

// Items whose messages lost their pages since the list was filled cannot be shown; with
// none current the walk must still end, after one round.
TEST_F(ListView, WalkOverItemsThatCannotBeShownEnds)
{
    startWith({"a", "b", "c"});
    MessageList& messages = doc()->Messages();
    for (int i = 0; i < messages.Count(); ++i)
        messages.GetAt(i).params.remove("url");
    view()->SetCurrent(-1);
    view()->StepSelection(1);
    EXPECT_EQ(view()->Current(), -1);
    view()->SelectFirstUnread();
    EXPECT_EQ(view()->Current(), -1);
}

TEST_F(ListView, SelectFirstUnreadSkipsReadOnes)
{
    startWith({"a", "b", "c"});  // showing "a" read it
    view()->SelectFirstUnread();
    EXPECT_EQ(view()->Current(), 1);
    view()->ShowMessage();
    view()->ShowMessageById("c");
    view()->SelectFirstUnread();  // none left: the first item
    EXPECT_EQ(view()->Current(), 0);
    EXPECT_EQ(view()->UnreadCount(), 0);
}

// Showing a message reads it; the read state is saved with the document.
TEST_F(ListView, ShowingReadsAndTheReadStateIsSaved)
{
    startWith({"a", "b"});
    EXPECT_EQ(view()->Viewer()->CurrentId(), "a");
    EXPECT_EQ(view()->Viewer()->windowTitle(), "Title a");
    EXPECT_EQ(view()->UnreadCount(), 1);
    app->MainFrame()->close();
    EXPECT_EQ(rows("SELECT msgid, read FROM Message ORDER BY msgid", {"msgid", "read"}), (QStringList{"a|1", "b|0"}));
}

// An unknown id gets its one box, and nothing after it.
TEST_F(ListView, UnknownOrBrokenMessagesSayWhy)
{
    startWith({"a", "b"});
    view()->ShowMessageById("nope");
    EXPECT_EQ(sink.shown(), QStringList{"Error: Invalid message id specified."});
    sink.boxes.clear();
    MessageList& messages = doc()->Messages();
    messages.GetAt(messages.IndexOf("b")).params.remove("url");
    view()->ShowMessageById("b");
    EXPECT_EQ(sink.shown(), QStringList{"Error: That message is broken.  Please try another."});
    EXPECT_EQ(view()->Viewer()->CurrentId(), "a");
}

// File > Import Registration: the file's messages join the list and are saved at once,
// the file stays, and the question comes only after an import that worked.
TEST_F(ListView, ImportThroughTheMenu)
{
    const struct {
        const char* what;
        QByteArray file;  // empty: the user cancels
        int answer;
        bool imported;
        int serviceCalls;
    } cases[] = {
        {"imported, no check", tovaFile("ACME", {"acme-1"}), platform::id::No, true, 0},
        {"imported, then checked", tovaFile("ACME", {"acme-1"}), platform::id::Yes, true, 2},
        {"cancelled", QByteArray(), platform::id::Yes, false, 0},
        {"not a registration file", "just text\n", platform::id::Yes, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        freshStart();
        sink.boxes.clear();
        dir = testsupport::sandboxRoot() + "/peers";
        testpeers::MessageService service(dir, {answers({}, {}), false, {}, {}});
        ASSERT_TRUE(service.started());
        ::setenv("OVEXKELVO_TEST_SERVICE", service.hostPort().toUtf8().constData(), 1);
        const QString path = testsupport::sandboxRoot() + "/chosen/acme.tova";
        if (!c.file.isEmpty())
            testsupport::writeFile(path, c.file);
        services.view.chooseImportFile = [&](QWidget*) { return c.file.isEmpty() ? QString() : path; };
        ASSERT_TRUE(start({"/test"}));
        sink.boxes.clear();
        sink.answer = c.answer;

        app->MainFrame()->ImportAction()->trigger();

        const QStringList question{
            "Import successful: The data from your registration file was imported.\n\n"
            "Would you like to check for new messages now?"};
        EXPECT_EQ(sink.shown(), c.imported ? question : QStringList{});
        EXPECT_EQ(view()->List()->topLevelItemCount(), c.imported ? 1 : 0);
        EXPECT_EQ(doc()->ShownIds(), c.imported ? QStringList{"acme-1"} : QStringList{});
        EXPECT_EQ(rows("SELECT msgid FROM Message", {"msgid"}), c.imported ? QStringList{"acme-1"} : QStringList{});
        EXPECT_EQ(QFile::exists(path), !c.file.isEmpty());
        EXPECT_EQ(service.received().size(), c.serviceCalls);
        sink.answer = 0;
    }
}

}  // namespace
