#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

using testsupport::RunResult;

const QString kFixture = QStringLiteral("/tests/tools/script-preview/fixtures/all-controls.txt");

RunResult preview(const QStringList& args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return testsupport::runProgram(testsupport::binaryDir() + QStringLiteral("/tools/script-preview/script-preview"),
                                   QStringList{testsupport::sourceDir() + kFixture} + args, env);
}

QStringList lines(const QByteArray& out)
{
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

QStringList options(std::initializer_list<const char*> args)
{
    QStringList list;
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return list;
}

TEST(ControlPreview, SetAndClickEveryChoiceAndStateControl)
{
    const RunResult r = preview(options({"--set",   "COLR=Green",    "--set",   "TOWN=Dublin",
                                         "--set",   "PLAN=Platinum", "--set",   "BDAY=February/29/2023",
                                         "--click", "MS__",          "--click", "NEWS",
                                         "--click", "OFFR",          "--click", "EVNT",
                                         "--click", "AGRE",          "--click", "STR1",
                                         "--click", "STR2",          "--click", "STR2",
                                         "--tree",  "--fields"}));
    ASSERT_FALSE(r.crashed);
    const QStringList out = lines(r.out);
    for (const char* expected : {
             "  QmDibWind LOGO 712 8 48 48 0x00000000 \"\"",
             "  QmCombo COLR 510 92 200 22 0x00000004 \"Green\"",
             "  QmCombo TOWN 510 122 200 22 0x00000001 \"Dublin\"",
             "  QmPopup PLAN 510 152 200 24 0x00000000 \"Platinum\"",
             // The 29th, chosen before the year 2023, becomes that February's last day.
             "  QmDateField BDAY 510 182 210 24 0x00000100 \"2/28/2023\"",
             "    QmStateButton MS__ 110 24 100 20 0x00000000 \"1\"",
             "    QmStateButton EVNT 240 24 110 20 0x00000000 \"\"",
             "    QmToggleButton STR1 0 24 24 24 0x00000002 \"Favourite\"",
             "    QmToggleButton STR2 32 24 24 24 0x00000003 \"Keep\"",
             "beep",  // the third interest of at most two
             "COLR:G",
             "TOWN:Dublin",
             "PLAN:Platinum",
             "BDAY:2/28/2023",
             "RADI:1",
             "NEWS:1",
             "OFFR:1",
             "EVNT:",
             "AGRE:1",
         })
        EXPECT_TRUE(out.contains(QString::fromUtf8(expected))) << expected << "\n" << r.out.toStdString();
    // A combo whose list is missing is never made.
    EXPECT_FALSE(r.out.contains(" NONE ")) << r.out.toStdString();
}

TEST(ControlPreview, EveryCommandButtonKindMovesOnOnce)
{
    QStringList args;
    for (const char* button : {"NEXT", "GOBT", "HOVR", "CLRB"})
        args << QStringLiteral("--click") << QString::fromLatin1(button) << QStringLiteral("--tree")
             << QStringLiteral("--page") << QStringLiteral("1");
    const RunResult r = preview(args);
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(r.out.count("QmRegPage PG02 "), 4) << r.out.toStdString();
    EXPECT_EQ(r.out.count("QmRegPage PG01 "), 0) << r.out.toStdString();
}

TEST(ControlPreview, UnknownItemsAreRefused)
{
    const RunResult r = preview(options({"--set", "COLR=Purple", "--set", "PLAN=Nothing", "--set", "BDAY=13/1/2024"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no item Purple in COLR")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("no item Nothing in PLAN")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("no item 13 in abcd")) << r.err.toStdString();
}

TEST(ControlPreview, ScreenshotShowsThePicturesThroughTheirMasks)
{
    const QString png = testsupport::sandboxRoot() + QStringLiteral("/controls.png");
    const RunResult r = preview(options({"--click", "STR1", "--screenshot"}) << png);
    ASSERT_FALSE(r.crashed);
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(800, 560));
    const QRgb page = image.pixel(700, 300);
    // The logo's ring is drawn, its centre and corners are the page's own background.
    EXPECT_NE(image.pixel(712 + 24, 8 + 6), page);
    EXPECT_EQ(image.pixel(712 + 1, 8 + 1), page);
    EXPECT_EQ(image.pixel(712 + 24, 8 + 14), page);
    // The switched-on star shows its down picture, the other its up one.
    EXPECT_NE(image.pixel(400 + 1, 236 + 24 + 1), image.pixel(400 + 32 + 1, 236 + 24 + 1));
}

}  // namespace
