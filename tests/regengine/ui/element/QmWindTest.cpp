#include "regengine/core/Attachment.h"
#include "regengine/core/Constraint.h"
#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/element/QmBasicWindow.h"
#include "regengine/ui/graphics/QmFont.h"
#include "regengine/ui/element/QmWind.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

using namespace engine;

namespace {

std::vector<std::string> g_log;

// An element that writes its name on every notification it receives, then passes it on
// as the base does.
class Recorder : public QmWind {
public:
    Recorder(const char* name, QmWind* parent, QWidget* window = nullptr) : QmWind(parent), name_(name)
    {
        SetCode(FourCC(name));
        SetWindow(window);
    }
    int OnNotify(QmWind* source, int code, int value) override
    {
        g_log.push_back(name_ + ":" + FieldCodeToString(source->GetCode()).toStdString() + ":" + std::to_string(code) +
                        ":" + std::to_string(value));
        return QmWind::OnNotify(source, code, value);
    }
    void SetAlignment(QChar h, QChar v) override { alignment = QString(h) + v; }
    void UpdateColors() override
    {
        g_log.push_back(name_ + ":colors");
        QmWind::UpdateColors();
    }
    using QmWind::SetStoredValue;

    QString alignment;

private:
    std::string name_;
};

// Counts the events it is run for and, when asked, refuses them.
class Counter : public Attachment {
public:
    explicit Counter(bool refuse = false) : Attachment(QStringLiteral("counter")), refuse_(refuse) {}
    bool ExecuteSelf(Attachable* attachable, quint32 event) override
    {
        events.push_back(event);
        // Told of its end while the element is still whole.
        if (event == AttachEvent::Destroyed) {
            const auto* element = dynamic_cast<QmWind*>(attachable);
            destroyedCode = element != nullptr ? FieldCodeToString(element->GetCode()) : QStringLiteral("none");
        }
        return !refuse_;
    }
    std::unique_ptr<Attachment> CreateInstance(const QString&) const override { return nullptr; }
    void ReadParameters(QmStrStream&) override {}

    std::vector<quint32> events;
    QString destroyedCode;

private:
    bool refuse_;
};

class FixedConstraint : public Constraint {
public:
    explicit FixedConstraint(bool pass) : pass_(pass) {}
    bool Validate(const QString& text, const QString* label) override
    {
        checked = text;
        labelGiven = label != nullptr;
        label_ = label != nullptr ? *label : QString();
        return pass_;
    }
    QString checked;
    bool labelGiven = false;
    QString label_;

private:
    bool pass_;
};

TEST(QmWindNotify, OwnHandlerThenListenersEachPassingToTheirParents)
{
    struct Case {
        const char* name;
        bool locked;
        bool withListeners;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"handler then parents", false, false, {"ELEM:ELEM:1001:7", "PAGE:ELEM:1001:7", "ROOT:ELEM:1001:7"}},
        {"listeners in the order added, each to its own parents",
         false,
         true,
         {"ELEM:ELEM:1001:7", "PAGE:ELEM:1001:7", "ROOT:ELEM:1001:7", "LSN2:ELEM:1001:7", "ROOT:ELEM:1001:7",
          "LSN1:ELEM:1001:7", "PAGE:ELEM:1001:7", "ROOT:ELEM:1001:7"}},
        {"a locked element reaches nobody", true, true, {}},
    };
    for (const Case& c : cases) {
        g_log.clear();
        Recorder root("ROOT", nullptr);
        auto* page = new Recorder("PAGE", &root);
        auto* element = new Recorder("ELEM", page);
        auto* second = new Recorder("LSN2", &root);
        auto* first = new Recorder("LSN1", page);
        if (c.withListeners) {
            element->AddListener(second);
            element->AddListener(first);
        }
        element->Lock(c.locked);
        element->Notify(QmNotify::ValueChanged, 7);
        EXPECT_EQ(g_log, c.expected) << c.name;
    }
}

TEST(QmWindNotify, LockReturnsTheOldStateAndUnlockingRestoresNotification)
{
    g_log.clear();
    Recorder element("ELEM", nullptr);
    EXPECT_FALSE(element.Lock(true));
    EXPECT_TRUE(element.Lock(true));
    element.Notify(5, 0);
    EXPECT_TRUE(element.Lock(false));
    element.Notify(6, 0);
    EXPECT_EQ(g_log, std::vector<std::string>{"ELEM:ELEM:6:0"});
}

// ROOT
//   AAAA "Alpha"
//     DUPL "alpha"
//     NOWN (no window)
//   DUPL "Beta"
TEST(QmWindLookup, DepthFirstByCodeAndExactByText)
{
    QLabel alpha(QStringLiteral("Alpha")), lower(QStringLiteral("alpha")), beta(QStringLiteral("Beta"));
    Recorder root("ROOT", nullptr);
    auto* a = new Recorder("AAAA", &root, &alpha);
    auto* nested = new Recorder("DUPL", a, &lower);
    auto* windowless = new Recorder("NOWN", a);
    auto* b = new Recorder("DUPL", &root, &beta);

    struct ByCode {
        const char* code;
        QmWind* expected;
    };
    for (const ByCode& c :
         {ByCode{"ROOT", &root}, ByCode{"DUPL", nested}, ByCode{"NOWN", windowless}, ByCode{"ZZZZ", nullptr}})
        EXPECT_EQ(root.FindByCode(FourCC(c.code)), c.expected) << c.code;

    struct ByText {
        QString text;
        QmWind* expected;
    };
    for (const ByText& c : {ByText{QStringLiteral("Beta"), b}, ByText{QStringLiteral("alpha"), nested},
                            ByText{QStringLiteral("ALPHA"), nullptr}, ByText{QString(), nullptr},
                            ByText{QStringLiteral("Gamma"), nullptr}})
        EXPECT_EQ(root.FindByText(c.text), c.expected) << c.text.toStdString();
    EXPECT_EQ(root.CountChildren(), 2);
    EXPECT_EQ(a->CountChildren(), 2);
}

TEST(QmWindTree, ChildrenGoWithTheirParentAndLeaveItWhenDestroyedFirst)
{
    auto root = std::make_unique<Recorder>("ROOT", nullptr);
    auto* a = new Recorder("AAAA", root.get());
    auto* b = new Recorder("BBBB", root.get());
    new Recorder("A111", a);
    delete a;
    ASSERT_EQ(root->CountChildren(), 1);
    EXPECT_EQ(*root->GetChildren().At(0), b);
    EXPECT_EQ(root->FindByCode(FourCC("A111")), nullptr);

    // An element handed to AddChild without naming the parent is still owned and freed once.
    auto* adopted = new Recorder("ADPT", nullptr);
    root->AddChild(adopted);
    EXPECT_EQ(adopted->GetParent(), nullptr);
    root.reset();  // ASan reports a double free or a leak here if ownership is wrong
}

TEST(QmWindTree, WidgetElementsNestAndAreFreedThroughEitherHalf)
{
    QWidget top;
    Recorder host("HOST", nullptr, &top);
    auto* outer = new QmBasicWindow(&host);
    outer->SetCode(FourCC("OUTR"));
    auto* inner = new QmBasicWindow(outer);
    inner->SetCode(FourCC("INNR"));
    EXPECT_EQ(outer->parentWidget(), &top);
    EXPECT_EQ(inner->parentWidget(), outer);
    EXPECT_EQ(host.FindByCode(FourCC("INNR")), inner);

    // Deleted as a widget: it leaves the element tree as well.
    delete static_cast<QWidget*>(inner);
    EXPECT_EQ(outer->CountChildren(), 0);
    // Deleted as an element: its widget leaves the widget tree.
    delete static_cast<QmWind*>(outer);
    EXPECT_EQ(host.CountChildren(), 0);
    EXPECT_TRUE(top.findChildren<QWidget*>().isEmpty());
}

TEST(QmWindTree, AttachmentsAreToldOfTheEndWhileTheElementIsWhole)
{
    Counter counter;
    {
        Recorder element("GONE", nullptr);
        element.Attach(&counter, AttachEvent::Destroyed);
    }
    EXPECT_EQ(counter.events, std::vector<quint32>{AttachEvent::Destroyed});
    EXPECT_EQ(counter.destroyedCode, QStringLiteral("GONE"));
}

TEST(QmWindTree, ResetLeavesTheParentSoNothingDanglesInItsChildren)
{
    Recorder root("ROOT", nullptr);
    auto element = std::make_unique<Recorder>("ELEM", &root);
    element->SetFlags(0x80000);
    element->SetLabel(QStringLiteral("label"));
    element->SetHint(QStringLiteral("hint"));
    element->Reset();
    EXPECT_EQ(root.CountChildren(), 0);
    EXPECT_EQ(element->GetParent(), nullptr);
    EXPECT_EQ(element->GetFlags(), 0u);
    EXPECT_TRUE(element->GetLabel().isEmpty());
    EXPECT_FALSE(element->GetHint().has_value());
}

TEST(QmWindGeometry, MovesKeepTheSizeAndResizesKeepThePlace)
{
    struct Case {
        const char* name;
        void (*apply)(QmWind&);
        QmRect expected;
    };
    const Case cases[] = {
        {"set", [](QmWind& e) { e.SetRect(QmRect(5, 6, 25, 16)); }, QmRect(5, 6, 25, 16)},
        {"move to", [](QmWind& e) { e.MoveTo(50, 60); }, QmRect(50, 60, 80, 100)},
        {"offset", [](QmWind& e) { e.OffsetBy(-3, 4); }, QmRect(7, 24, 37, 64)},
        {"resize", [](QmWind& e) { e.Resize(11, 12); }, QmRect(10, 20, 21, 32)},
    };
    for (const Case& c : cases) {
        QWidget parent;
        auto* child = new QWidget(&parent);
        Recorder element("GEOM", nullptr, child);
        element.SetRect(QmRect(10, 20, 40, 60));
        c.apply(element);
        EXPECT_EQ(element.GetRect(), c.expected) << c.name;
        EXPECT_EQ(child->geometry(), QRect(c.expected.left, c.expected.top, c.expected.right - c.expected.left,
                                           c.expected.bottom - c.expected.top))
            << c.name;
    }
}

TEST(QmWindWindowless, EveryWindowOperationDoesNothing)
{
    Recorder root("ROOT", nullptr);
    auto* holder = new Recorder("HOLD", &root);
    holder->SetRect(QmRect(1, 2, 3, 4));
    holder->MoveTo(9, 9);
    holder->Resize(5, 5);
    holder->OffsetBy(1, 1);
    EXPECT_EQ(holder->GetRect(), QmRect());
    EXPECT_TRUE(holder->Show(false));
    holder->SetText(QStringLiteral("text"));
    EXPECT_TRUE(holder->GetText().isEmpty());
    EXPECT_TRUE(holder->GetValue().isEmpty());
    holder->SetControlId(12);
    EXPECT_EQ(holder->GetControlId(), 0);
    holder->SetSel(0, -1);
    holder->RemoveBorder();
    root.ShowChild(FourCC("HOLD"), true);
    root.EnableChild(FourCC("HOLD"), false);
    QmFont font;
    font.SetFont(QFont(QStringLiteral("DejaVu Sans"), 14));
    font.SetColor(1, 2, 3);
    holder->ApplyFont(&font);
    EXPECT_EQ(holder->GetTextColor(), 0x030201u);
    holder->SplitDisplayValue();
    EXPECT_FALSE(holder->GetStoredValue().has_value());
}

TEST(QmWindText, TheFirstTextBecomesTheHintOnlyWithTheFlag)
{
    QLineEdit edit;
    Recorder element("TEXT", nullptr, &edit);
    element.SetText(QStringLiteral("no flag"));
    EXPECT_FALSE(element.GetHint().has_value());
    element.AddFlags(QmFlag::TextIsHint);
    element.SetText(QStringLiteral("<FNAM> first"));
    element.SetText(QStringLiteral("second"));
    EXPECT_EQ(element.GetHint(), QStringLiteral("<FNAM> first"));
    EXPECT_EQ(edit.text(), QStringLiteral("second"));
    element.SetHint(std::nullopt);
    EXPECT_FALSE(element.GetHint().has_value());
}

TEST(QmWindText, SetTextNotifyAndClearRaiseTheValueEvent)
{
    QLabel label;
    Recorder element("TEXT", nullptr, &label);
    Counter counter;
    element.Attach(&counter, AttachEvent::ValueSet);
    element.SetText(QStringLiteral("quiet"));
    element.SetTextNotify(QStringLiteral("told"));
    EXPECT_EQ(label.text(), QStringLiteral("told"));
    element.Clear();
    EXPECT_TRUE(label.text().isEmpty());
    EXPECT_EQ(counter.events, (std::vector<quint32>{AttachEvent::ValueSet, AttachEvent::ValueSet}));
}

TEST(QmWindText, DisplayValueSplitsAtTheFirstCaret)
{
    struct Case {
        QString text;
        QString shown;
        std::optional<QString> stored;
    };
    const Case cases[] = {
        {QStringLiteral("United States^USA"), QStringLiteral("United States"), QStringLiteral("USA")},
        {QStringLiteral("a^b^c"), QStringLiteral("a"), QStringLiteral("b^c")},
        {QStringLiteral("^only"), QString(), QStringLiteral("only")},
        {QStringLiteral("plain"), QStringLiteral("plain"), std::nullopt},
    };
    for (const Case& c : cases) {
        QLabel label(c.text);
        Recorder element("SPLT", nullptr, &label);
        element.SplitDisplayValue();
        EXPECT_EQ(label.text(), c.shown) << c.text.toStdString();
        EXPECT_EQ(element.GetStoredValue(), c.stored) << c.text.toStdString();
        QString value;
        std::optional<QString> stored = QStringLiteral("untouched");
        element.GetValueAndStored(value, &stored);
        EXPECT_EQ(value, c.shown);
        EXPECT_EQ(stored, c.stored);
    }
}

TEST(QmWindText, WindowTextOfTheUsualWidgets)
{
    QLineEdit edit;
    QLabel label;
    QWidget plain;
    for (QWidget* w : {static_cast<QWidget*>(&edit), static_cast<QWidget*>(&label), &plain}) {
        SetWindowText(w, QStringLiteral("shown"));
        EXPECT_EQ(WindowText(w), QStringLiteral("shown")) << w->metaObject()->className();
    }
    EXPECT_EQ(edit.text(), QStringLiteral("shown"));
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("shown"));
}

TEST(QmWindValue, LeadingDecimalNumber)
{
    struct Case {
        const char* text;
        int expected;
    };
    for (const Case& c : {Case{"42abc", 42}, Case{"  -7", -7}, Case{"+3", 3}, Case{"x12", 0}, Case{"", 0},
                          Case{"99999999999", 2147483647}, Case{"-99999999999", -2147483647 - 1}})
        EXPECT_EQ(LeadingDecimal(QString::fromLatin1(c.text)), c.expected) << c.text;
    QLabel label(QStringLiteral("15 items"));
    Recorder element("NUMB", nullptr, &label);
    EXPECT_EQ(element.GetInt(), 15);
}

TEST(QmWindValidate, ConstraintThenTheValidatedEvent)
{
    struct Case {
        const char* name;
        bool constraintPasses;
        bool attachmentRefuses;
        QString displayName;
        bool expected;
        size_t events;
    };
    const Case cases[] = {
        {"constraint fails, no event", false, false, QStringLiteral("Name"), false, 0},
        {"both pass", true, false, QString(), true, 1},
        {"an attachment refuses", true, true, QStringLiteral("Name"), false, 1},
    };
    for (const Case& c : cases) {
        QLineEdit edit(QStringLiteral("value"));
        Recorder element("VALD", nullptr, &edit);
        element.SetDisplayName(c.displayName);
        FixedConstraint constraint(c.constraintPasses);
        element.SetConstraint(&constraint);
        Counter counter(c.attachmentRefuses);
        element.Attach(&counter, AttachEvent::Validated);
        EXPECT_EQ(element.Validate(), c.expected) << c.name;
        EXPECT_EQ(counter.events.size(), c.events) << c.name;
        EXPECT_EQ(constraint.checked, QStringLiteral("value"));
        // No display name: the constraint gets no label and uses its generic message.
        EXPECT_EQ(constraint.labelGiven, !c.displayName.isEmpty()) << c.name;
    }
    Recorder bare("BARE", nullptr);
    EXPECT_TRUE(bare.Validate());
    EXPECT_EQ(bare.GetDisplayName(), QStringLiteral("BARE"));
}

TEST(QmWindFont, FontLettersAndColourReachTheElementAndItsChildren)
{
    g_log.clear();
    QLabel label;
    Recorder element("FONT", nullptr, &label);
    new Recorder("CHLD", &element);
    QmFont font;
    font.SetFont(QFont(QStringLiteral("DejaVu Sans"), 17));
    font.SetLetters(u'L', u'C');
    font.SetColor(255, 128, 1);
    element.ApplyFont(&font);
    EXPECT_EQ(label.font().pointSize(), 17);
    EXPECT_EQ(element.alignment, QStringLiteral("LC"));
    EXPECT_EQ(element.GetTextColor(), 0x0180FFu);
    EXPECT_EQ(element.GetFontColor(), 0x0180FFu);
    EXPECT_EQ(g_log, (std::vector<std::string>{"FONT:colors", "CHLD:colors"}));

    // A null font changes nothing; one without a typeface leaves the window's font alone.
    element.ApplyFont(nullptr);
    EXPECT_EQ(element.alignment, QStringLiteral("LC"));
    EXPECT_EQ(element.GetTextColor(), 0x0180FFu);
    QmFont plain;
    element.ApplyFont(&plain);
    EXPECT_EQ(label.font().pointSize(), 17);
    EXPECT_EQ(element.GetTextColor(), 0u);
}

TEST(QmWindWindow, ControlIdSelectionShowAndEnableReachTheWidget)
{
    QWidget dialog;
    auto* edit = new QLineEdit(QStringLiteral("hello world"), &dialog);
    Recorder page("PAGE", nullptr, &dialog);
    auto* element = new Recorder("EDIT", &page, edit);
    element->SetControlId(1201);
    EXPECT_EQ(element->GetControlId(), 1201);
    EXPECT_EQ(DialogItem(&dialog, 1201), edit);

    element->SetSel(6, -1);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("world"));
    element->SetSel(0, 5);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("hello"));

    dialog.show();
    page.ShowChild(FourCC("EDIT"), false);
    EXPECT_FALSE(edit->isVisible());
    page.ShowChild(FourCC("EDIT"), true);
    EXPECT_TRUE(edit->isVisible());
    page.EnableChild(FourCC("EDIT"), false);
    EXPECT_FALSE(edit->isEnabled());
    element->RemoveBorder();
    EXPECT_FALSE(edit->hasFrame());
}

}  // namespace
