#include "regengine/core/Attachable.h"
#include "regengine/core/Attachment.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

#include <gtest/gtest.h>

#include <functional>

using namespace engine;

namespace {

struct Received {
    QString name;
    const Attachable* where;
    quint32 event;
    bool operator==(const Received&) const = default;
};

std::vector<Received>& log()
{
    static std::vector<Received> received;
    return received;
}

// Answers with the number its script line gives (1 lets events go on, 0 stops them) and
// runs an optional action, so a test can make a hook do something awkward.
class Recorder : public AttachmentType<Recorder> {
public:
    bool ExecuteSelf(Attachable* attachable, quint32 event) override
    {
        log().push_back({GetName(), attachable, event});
        if (action)
            action(attachable);
        return answer != 0;
    }
    void ReadParameters(QmStrStream& stream) override { stream.readInt(answer); }

    qint32 answer = 1;
    std::function<void(Attachable*)> action;
};

// Accepts only page events.
class PageOnly : public AttachmentType<PageOnly, Recorder> {
public:
    quint32 GetEventMask() const override { return AttachEvent::PageShown | AttachEvent::PageLeft; }
};

Recorder* make(const QString& line)
{
    QmStrStream stream(line);
    return static_cast<Recorder*>(Attachment::CreateFromScript(stream));
}

class Attachments : public ::testing::Test {
protected:
    void SetUp() override { log().clear(); }
    AttachmentTypeRegistrar<Recorder> registrar{QStringLiteral("Recorder")};
};

TEST_F(Attachments, TypesAndInstancesAreFoundWithoutRegardToCase)
{
    Recorder* made = make(QStringLiteral("ExitApp rEcOrDeR 0 rest"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetName(), u"ExitApp");
    EXPECT_EQ(made->answer, 0);
    EXPECT_EQ(Attachment::Find(QStringLiteral("exitapp")), made);
    EXPECT_EQ(Attachment::Find(QStringLiteral("EXITAPP")), made);
    EXPECT_EQ(Attachment::Find(QStringLiteral("other")), nullptr);
}

TEST_F(Attachments, UnknownTypeCreatesNothingAndLeavesTheLine)
{
    QmStrStream stream(QStringLiteral("Name NoSuchType 1 2 3"));
    EXPECT_EQ(Attachment::CreateFromScript(stream), nullptr);
    EXPECT_EQ(Attachment::Find(QStringLiteral("Name")), nullptr);
    EXPECT_EQ(ReadScriptToken(stream), u"1");
}

TEST_F(Attachments, ALaterInstanceReplacesTheNameWhileTheEarlierKeepsWorking)
{
    Attachable window;
    Recorder* first = make(QStringLiteral("Twice Recorder 1"));
    window.Attach(first, AttachEvent::PageShown);
    Recorder* second = make(QStringLiteral("Twice Recorder 1"));
    EXPECT_NE(first, second);
    EXPECT_EQ(Attachment::Find(QStringLiteral("twice")), second);
    EXPECT_TRUE(window.PerformEvent(AttachEvent::PageShown));
    EXPECT_EQ(log(), (std::vector<Received>{{QStringLiteral("Twice"), &window, AttachEvent::PageShown}}));
}

TEST_F(Attachments, RegistrarRemovesItsType)
{
    {
        AttachmentTypeRegistrar<Recorder> scoped(QStringLiteral("Scoped"));
        EXPECT_NE(make(QStringLiteral("one Scoped 1")), nullptr);
    }
    EXPECT_EQ(make(QStringLiteral("two Scoped 1")), nullptr);
}

TEST_F(Attachments, HooksRunInAttachOrderAndTheFirstRefusalStops)
{
    Attachable window;
    Recorder* stop = make(QStringLiteral("Stop Recorder 0"));
    Recorder* after = make(QStringLiteral("After Recorder 1"));
    Recorder* other = make(QStringLiteral("Other Recorder 1"));
    window.Attach(other, AttachEvent::PageLeft);
    window.Attach(stop, AttachEvent::PageShown);
    window.Attach(after, AttachEvent::PageShown);
    EXPECT_FALSE(window.PerformEvent(AttachEvent::PageShown));
    EXPECT_EQ(log(), (std::vector<Received>{{QStringLiteral("Stop"), &window, AttachEvent::PageShown}}));

    log().clear();
    stop->answer = 1;
    EXPECT_TRUE(window.PerformEvent(AttachEvent::PageShown | AttachEvent::PageLeft));
    EXPECT_EQ(log().size(), 3u);
    EXPECT_EQ(log()[0].name, u"Other");
    EXPECT_EQ(log()[2].name, u"After");

    Attachable empty;
    EXPECT_TRUE(empty.PerformEvent(AttachEvent::PageShown));
}

TEST_F(Attachments, AttachEventRunsOnceAtOnce)
{
    Attachable window;
    Recorder* now = make(QStringLiteral("Now Recorder 1"));
    window.Attach(now, AttachEvent::Attached | AttachEvent::PageShown);
    EXPECT_EQ(log(), (std::vector<Received>{{QStringLiteral("Now"), &window, AttachEvent::Attached}}));
    window.PerformEvent(AttachEvent::PageShown);
    EXPECT_EQ(log().size(), 2u);
    window.Attach(nullptr, 0xFFFFFFFFu);
    EXPECT_EQ(window.GetHookCount(), 1);
}

TEST_F(Attachments, EventMaskOfTheTypeFilters)
{
    AttachmentTypeRegistrar<PageOnly> pages(QStringLiteral("PageOnly"));
    Attachable window;
    Recorder* picky = make(QStringLiteral("Picky PageOnly 1"));
    window.Attach(picky, 0xFFFFFFFFu);
    EXPECT_FALSE(window.PerformEvent(AttachEvent::ValueSet)) << "a refused event stops the walk";
    EXPECT_TRUE(window.PerformEvent(AttachEvent::PageLeft));
    EXPECT_EQ(log(), (std::vector<Received>{{QStringLiteral("Picky"), &window, AttachEvent::PageLeft}}));
}

TEST_F(Attachments, DestructionSendsEvent2LastHookFirst)
{
    Recorder* a = make(QStringLiteral("A Recorder 1"));
    Recorder* b = make(QStringLiteral("B Recorder 1"));
    Recorder* c = make(QStringLiteral("C Recorder 1"));
    {
        Attachable window;
        window.Attach(a, AttachEvent::Destroyed);
        window.Attach(b, AttachEvent::PageShown);
        window.Attach(c, AttachEvent::Destroyed | AttachEvent::PageShown);
    }
    ASSERT_EQ(log().size(), 2u);
    EXPECT_EQ(log()[0].name, u"C");
    EXPECT_EQ(log()[1].name, u"A");
    EXPECT_EQ(log()[0].event, AttachEvent::Destroyed);
    EXPECT_EQ(log()[1].event, AttachEvent::Destroyed);
}

// A hook that attaches more hooks while the walk runs: the new ones wait for the next event.
TEST_F(Attachments, HooksAddedDuringAnEventDoNotBreakTheWalk)
{
    Attachable window;
    Recorder* grower = make(QStringLiteral("Grower Recorder 1"));
    Recorder* late = make(QStringLiteral("Late Recorder 1"));
    grower->action = [late](Attachable* where) {
        for (int i = 0; i < 50; ++i)
            where->Attach(late, AttachEvent::PageShown);
    };
    window.Attach(grower, AttachEvent::PageShown);
    EXPECT_TRUE(window.PerformEvent(AttachEvent::PageShown));
    EXPECT_EQ(log().size(), 1u);
    EXPECT_EQ(window.GetHookCount(), 51);
    grower->action = nullptr;
    log().clear();
    EXPECT_TRUE(window.PerformEvent(AttachEvent::PageShown));
    EXPECT_EQ(log().size(), 51u);
}

// A hook that destroys its own attachable ends the walk there without touching it again.
TEST_F(Attachments, OwnerDestroyedByAHookEndsTheWalk)
{
    auto* window = new Attachable;
    Recorder* killer = make(QStringLiteral("Killer Recorder 1"));
    Recorder* after = make(QStringLiteral("After Recorder 1"));
    Recorder* watcher = make(QStringLiteral("Watcher Recorder 1"));
    killer->action = [](Attachable* where) { delete where; };
    window->Attach(killer, AttachEvent::PageShown);
    window->Attach(after, AttachEvent::PageShown);
    window->Attach(watcher, AttachEvent::Destroyed);
    EXPECT_FALSE(window->PerformEvent(AttachEvent::PageShown));
    ASSERT_EQ(log().size(), 2u);
    EXPECT_EQ(log()[0].name, u"Killer");
    EXPECT_EQ(log()[1].name, u"Watcher");
    EXPECT_EQ(log()[1].event, AttachEvent::Destroyed);
    killer->action = nullptr;
}

// What hooks do while the attachable is dying cannot add hooks or raise events.
TEST_F(Attachments, DyingAttachableRefusesHooksAndEvents)
{
    Recorder* mourner = make(QStringLiteral("Mourner Recorder 1"));
    Recorder* other = make(QStringLiteral("Other Recorder 1"));
    bool performed = true;
    int hooksSeen = -1;
    mourner->action = [&](Attachable* where) {
        where->Attach(other, AttachEvent::Destroyed | AttachEvent::Attached);
        performed = where->PerformEvent(AttachEvent::PageShown);
        hooksSeen = where->GetHookCount();
    };
    {
        Attachable window;
        window.Attach(mourner, AttachEvent::Destroyed);
    }
    EXPECT_FALSE(performed);
    EXPECT_EQ(hooksSeen, 0);
    EXPECT_EQ(log().size(), 1u);
    mourner->action = nullptr;
}

}  // namespace
