#include "launcher/window/RegWind.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/AppValues.h"
#include "tests/launcher/LauncherTestSupport.h"
#include "tests/launcher/window/RegWindTestSupport.h"
#include "tests/support/FakeClock.h"

#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <QDateTime>

using namespace engine;
using namespace launcher;

namespace {

using launchertest::TraceRecorder;
using regwindtest::editOf;
using regwindtest::runScript;

// The record the cases read: a page field, header entries and a stored value for the same
// code (the later list wins), values with reserved and multibyte characters, and values
// that hold tags themselves.
const QString kScript = QStringLiteral(
    ">WIND HOLD 0 0 200 100 0x00020000 Caption\n"
    ">SETHEADER PRNM Ovex Kelvo\n"
    ">SETFIELD NAME Jörg Müller\n"
    ">SETFIELD CITY 東京\n"
    ">SETFIELD SMIL 😀\n"
    ">SETFIELD AMPS a&b=c/d\n"
    ">SETFIELD LOOP <PRNM>\n"
    ">SETFIELD APPT <$APP.LangCode>\n"
    ">SETFIELD WHOM page\n"
    ">SETHEADER WHOM header\n"
    ">SETHEADER WHAT header\n"
    ">PAGE PG00 0 0 100 100 0 Page\n");

class TagSubstitution : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", "de_AT.UTF-8");
        reader_ = runScript(kScript);
        window_ = reader_->GetWindow();
        window_->GetList(RegWind::StoredValues)->SetField(FourCC("WHAT"), QStringLiteral("stored"));
        clock_.seconds = QDateTime(QDate(2024, 3, 7), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
        window_->GetAppValues().SetClock(&clock_);
    }

    std::unique_ptr<ScriptReader> reader_;
    RegWind* window_ = nullptr;
    testsupport::FakeClock clock_;
};

TEST_F(TagSubstitution, FieldAndApplicationTags)
{
    struct Case {
        const char* name;
        const char* text;
        bool encode;
        const char* expected;
    };
    const Case cases[] = {
        {"a field tag", "<PRNM> Registration", false, "Ovex Kelvo Registration"},
        {"an unknown code is empty", "<PRNX> Registration", false, " Registration"},
        {"three characters stay", "<ABC>", false, "<ABC>"},
        {"five characters stay", "<ABCDE>", false, "<ABCDE>"},
        {"the header wins over the page", "<WHOM>", false, "header"},
        {"the stored value wins over the header", "<WHAT>", false, "stored"},
        {"a value holding a tag is not substituted again", "<LOOP>", false, "<PRNM>"},
        {"nor one holding an application tag", "<APPT>", false, "<$APP.LangCode>"},
        {"substitution goes on after an inserted value", "<LOOP><PRNM>", false, "<PRNM>Ovex Kelvo"},
        {"an open bracket without its own close takes the next tag with it", "a < b <PRNM>", false, "a < b <PRNM>"},
        {"a close bracket before the open one is passed", "x > y <PRNM>", false, "x > y Ovex Kelvo"},
        {"doubled brackets are no tag", "<<PRNM>>", false, "<<PRNM>>"},
        {"the language", "<$APP.LangCode>", false, "DEA"},
        {"the name in any case", "<$APP.LANGCODE>/<$APP.langcode>", false, "DEA/DEA"},
        {"the prefix is case-sensitive", "<$app.LangCode>", false, "<$app.LangCode>"},
        {"the country", "<$APP.CountryCode> <$APP.CountryName>", false, "AUT Austria"},
        {"today", "<$APP.CurrentYear>-<$APP.CurrentMonth>-<$APP.CurrentDay>", false, "2024-03-07"},
        {"an unknown name is empty", "[<$APP.NoSuchValue>]", false, "[]"},
        {"an empty name is empty", "[<$APP.>]", false, "[]"},
        {"multibyte text is encoded as UTF-8", "<NAME>", true, "J%C3%B6rg%20M%C3%BCller"},
        {"three-byte characters", "<CITY>", true, "%E6%9D%B1%E4%BA%AC"},
        {"four-byte characters", "<SMIL>", true, "%F0%9F%98%80"},
        {"reserved characters", "?q=<AMPS>", true, "?q=a%26b%3Dc%2Fd"},
        {"only inserted values are encoded", "a b/<PRNM>", true, "a b/Ovex%20Kelvo"},
        {"an encoded tag holding a tag", "<LOOP>", true, "%3CPRNM%3E"},
        {"application values are encoded too", "<$APP.CountryName>", true, "Austria"},
        {"without encoding multibyte text stays", "<NAME> <CITY> <SMIL>", false, "Jörg Müller 東京 😀"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(window_->SubstituteTags(QString::fromUtf8(c.text), c.encode), QString::fromUtf8(c.expected))
            << c.name;
}

TEST_F(TagSubstitution, RawKeepsAnApplicationValueUnencoded)
{
    const QString folder = platform::moduleDirectory();
    ASSERT_TRUE(folder.contains(u'/'));
    const QString encoded = QString::fromLatin1(folder.toUtf8().toPercentEncoding(QByteArray(), "-._~"));
    EXPECT_EQ(window_->SubstituteTags(QStringLiteral("<$APP.ExeDirectory:raw>"), true), folder);
    EXPECT_EQ(window_->SubstituteTags(QStringLiteral("<$APP.ExeDirectory>"), true), encoded);
    EXPECT_EQ(window_->SubstituteTags(QStringLiteral("<$APP.ExeDirectory:raw>"), false), folder);
    EXPECT_EQ(window_->SubstituteTags(QStringLiteral("<$APP.ExeDirectory:RAW>"), true), QString())
        << "the suffix is case-sensitive, so the name is unknown";
}

TEST_F(TagSubstitution, UnknownApplicationNamesAreTraced)
{
    TraceRecorder traces;
    window_->SubstituteTags(QStringLiteral("<$APP.Weather>"), false);
    EXPECT_TRUE(traces.Contains(QStringLiteral("<$APP.Weather> is unknown in substitution")));
}

TEST_F(TagSubstitution, ThePagesLatestInputCounts)
{
    auto reader = runScript(kScript + QStringLiteral(">EDIT NAME 0\n"));
    RegWind* window = reader->GetWindow();
    editOf(*window, "NAME")->setText(QStringLiteral("Ada"));
    QString fieldsOnly = QStringLiteral("<NAME>");
    window->SubstituteFieldTags(fieldsOnly, false);
    EXPECT_EQ(fieldsOnly, QStringLiteral("Jörg Müller")) << "field tags alone do not collect the page";
    EXPECT_EQ(window->SubstituteTags(QStringLiteral("<NAME>"), false), QStringLiteral("Ada"));
}

TEST_F(TagSubstitution, FieldTagsOnlyInPlace)
{
    QString text = QStringLiteral("<$APP.LangCode> <PRNM>");
    EXPECT_TRUE(window_->SubstituteFieldTags(text, false));
    EXPECT_EQ(text, QStringLiteral("<$APP.LangCode> Ovex Kelvo"));

    const QString longText = QString(2000, u'x') + QStringLiteral("<$APP.LangCode>");
    QString unchanged = longText;
    EXPECT_FALSE(window_->SubstituteFieldTags(unchanged, false));
    EXPECT_EQ(unchanged, longText) << "nothing replaced: the text is not cut";

    QString cut = QStringLiteral("<PRNM>") + QString(2000, u'x');
    EXPECT_TRUE(window_->SubstituteFieldTags(cut, false));
    EXPECT_EQ(cut.size(), 1023);
    EXPECT_TRUE(cut.startsWith(QStringLiteral("Ovex Kelvo")));

    // A cut never leaves half of a character behind.
    QString pair = QStringLiteral("<PRNM>") + QString(1012, u'x') + QStringLiteral("😀");
    EXPECT_TRUE(window_->SubstituteFieldTags(pair, false));
    EXPECT_EQ(pair.size(), 1022);
    EXPECT_FALSE(pair.back().isHighSurrogate());
}

TEST_F(TagSubstitution, ListSubstitutionFillsEveryItem)
{
    auto reader = runScript(kScript + QStringLiteral(">LIST links\nhttp://x/<PRNM>\nplain\n<$APP.LangCode> <NAME>\n"
                                                     ">DOLISTSUBS links\n>DOLISTSUBS missing\n"));
    const QmStringList* list = reader->FindList(QStringLiteral("links"));
    ASSERT_NE(list, nullptr);
    QStringList items;
    for (const QString& item : *list)
        items << item;
    EXPECT_EQ(items, (QStringList{"http://x/Ovex Kelvo", "plain", "<$APP.LangCode> Jörg Müller"}));
}

}  // namespace
