#include "regengine/core/LangCode.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/controls/CtryDialerWind.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmEdit.h"

#include "tests/regengine/ui/controls/ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

// The access numbers of tests/regengine/transport/fixtures/TEXT/X25NUMSEN.
const QString kModule = QStringLiteral("regengine_ui_test");

QStringList items(const QmCombo* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

struct Dialer {
    Dialer()
    {
        page.show();
        QmStrStream line(QStringLiteral("_CAL 10 10 200 150 5 0x10"));
        dialer = new CtryDialerWind(line, &page, LangCode("EN"), kModule);
    }
    QmCombo* combo(int id) const { return dialer->GetCombo(id); }
    controltest::RecordingPage page;
    CtryDialerWind* dialer = nullptr;
};

TEST(CtryDialerWind, ReadsItsLineAndOffersTheFirstNumber)
{
    Dialer d;
    EXPECT_EQ(d.dialer->GetCode(), FourCC("_CAL"));
    EXPECT_EQ(d.dialer->GetControlId(), 5);
    EXPECT_EQ(d.dialer->GetFlags() & 0x10, 0x10u);
    EXPECT_EQ(items(d.combo(1)), (QStringList{"Germany", "France", "Germany", "No tabs here", "Italy", "Spain"}));
    EXPECT_EQ(items(d.combo(2)), (QStringList{"Berlin", "Munich", "Hamburg"}));
    EXPECT_EQ(items(d.combo(3)), (QStringList{"030 1234", "030 5678"}));
    EXPECT_EQ(d.dialer->GetValue(), QStringLiteral("030 1234"));
    EXPECT_EQ(d.dialer->GetDialEdit()->GetCode(), FourCC("-Fnl"));
    for (int id = 1; id <= 3; ++id)
        EXPECT_EQ(d.combo(id)->GetCode(), FourCC("CtMn"));
}

TEST(CtryDialerWind, TheUsersChoiceRefillsTheListsBelowIt)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> choices;  // list id, item index
        QStringList places;
        QString number;
    } cases[] = {
        {"a country with one place", {{1, 4}}, {"Rome"}, "06 4444"},
        {"another country", {{1, 1}}, {"Paris"}, "01 2222"},
        {"a place of the first country", {{2, 1}}, {"Berlin", "Munich", "Hamburg"}, "089 1111"},
        {"a second number of a place", {{3, 1}}, {"Berlin", "Munich", "Hamburg"}, "030 5678"},
        {"a country chosen again starts at its first place",
         {{2, 2}, {1, 1}, {1, 0}},
         {"Berlin", "Munich", "Hamburg"},
         "030 1234"},
        {"a record without a place", {{1, 3}}, {""}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialer d;
        for (const auto& [id, index] : c.choices)
            d.combo(id)->ChooseIndex(index);
        EXPECT_EQ(items(d.combo(2)), c.places);
        EXPECT_EQ(d.dialer->GetValue(), c.number);
    }
}

TEST(CtryDialerWind, EnablesAndDisablesEveryPart)
{
    Dialer d;
    d.dialer->EnableControls(false);
    EXPECT_FALSE(d.dialer->isEnabled());
    for (int id = 1; id <= 3; ++id)
        EXPECT_FALSE(d.combo(id)->isEnabled());
    EXPECT_FALSE(d.dialer->GetDialEdit()->GetWindow()->isEnabled());
    d.dialer->EnableControls(true);
    EXPECT_TRUE(d.combo(2)->isEnabled());
}

TEST(CtryDialerWind, WithoutAccessNumbersTheListsStayEmpty)
{
    controltest::RecordingPage page;
    QmStrStream line(QStringLiteral("DIAL 0 0 200 150 1 0"));
    CtryDialerWind dialer(line, &page, LangCode("EN"), QStringLiteral("no-such-module"));
    EXPECT_EQ(dialer.GetCombo(1)->count(), 0);
    EXPECT_EQ(dialer.GetValue(), QString());
}

}  // namespace
