#include "PreviewTestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <QStringDecoder>

namespace {

using previewtest::kUnsetExitCode;
using testsupport::RunResult;

const QString kFixture = QStringLiteral("/tests/tools/script-preview/fixtures/every-control.txt");

RunResult preview(const QStringList& args, const QString& script = testsupport::sourceDir() + kFixture)
{
    return previewtest::runPreview(script, args);
}

QStringList lines(const QByteArray& out)
{
    return previewtest::outputLines(out);
}

TEST(ScriptPreview, SetTypesThroughTheFiltersTreeAndFieldsShowTheResult)
{
    // Letters beyond ASCII are typed too.
    const RunResult r = preview({QStringLiteral("--set"), QStringLiteral("NAME=Adä 名"), QStringLiteral("--set"),
                                 QStringLiteral("PHON=55x51234567"), QStringLiteral("--set"),
                                 QStringLiteral("ZIP1=10115"), QStringLiteral("--tree"), QStringLiteral("--fields")});
    ASSERT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
    const QStringList out = lines(r.out);
    for (const char* expected : {
             "QmRegPage PG01 0 0 580 400 0x00000000 \"Every control\"",
             "  QmCaption TITL 20 12 540 26 0x00000000 \"Register <Ovex Kelvo> & stay informed\"",
             "  QmCaption SUBT 20 42 540 18 0x00080000 \"Fields marked * are required.\"",
             "  QmEdit NAME 150 76 220 20 0x00000000 \"Adä 名\"",
             "  QmMaskEdit PHON 150 128 120 20 0x00000000 \"555-123-4567\"",
             "  QmMultiGroup MULT 150 272 220 28 0x00002000 \"10115\"",
             "    QmEdit ZIP1 4 4 80 20 0x00000000 \"10115\"",
             "  QmHyperLink LINK 20 316 300 18 0x00200000 \"Read our privacy policy\"",
             "  QmDataHolder HIDN 0 0 0 0 0x00000000 \"a value nobody sees\"",
             "NAME:Adä 名",
             "PHON:555-123-4567",
             "LINK:https://www.ovex.example/privacy",
             "HIDN:a value nobody sees",
         })
        EXPECT_TRUE(out.contains(QString::fromUtf8(expected))) << expected << "\n" << r.out.toStdString();
    // The record comes last, whatever the order of the options.
    EXPECT_TRUE(out.last().startsWith(QStringLiteral("HIDN:")));
}

TEST(ScriptPreview, MessageBoxesAndLinksArePrintedAndOptionsRunInOrder)
{
    const RunResult r = preview(
        {QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--set"), QStringLiteral("NAME=Ada"),
         QStringLiteral("--set"), QStringLiteral("MAIL=ada@example"), QStringLiteral("--page"), QStringLiteral("1"),
         QStringLiteral("--set"), QStringLiteral("MAIL=ada@example.org"), QStringLiteral("--click"),
         QStringLiteral("LINK"), QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--tree")});
    ASSERT_FALSE(r.crashed);
    const QStringList out = lines(r.out);
    const QStringList expected = {
        QStringLiteral("message box: Required: Please enter your name."),
        QStringLiteral("message box: Required: A valid E-Mail address is required."),
        QStringLiteral("open: https://www.ovex.example/privacy"),
        QStringLiteral("QmRegPage PG02 0 0 580 400 0x00000000 \"Thank you\""),
    };
    qsizetype at = 0;
    for (const QString& line : expected) {
        at = out.indexOf(line, at);
        EXPECT_GE(at, 0) << line.toStdString() << "\n" << r.out.toStdString();
    }
}

TEST(ScriptPreview, ScreenshotOfThePageIsNotBlank)
{
    const QString png = testsupport::sandboxRoot() + QStringLiteral("/page.png");
    const RunResult r =
        preview({QStringLiteral("--set"), QStringLiteral("NAME=Ada"), QStringLiteral("--screenshot"), png});
    EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
    QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(600, 440));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    // Text, frames, the rule and the link make many colours; an empty window has one.
    EXPECT_GT(colours.size(), 20);
}

TEST(ScriptPreview, Utf16WithItsMarkReadsAsUtf8Does)
{
    const QByteArray utf8 = testsupport::readFile(testsupport::sourceDir() + kFixture);
    QByteArray utf16("\xFF\xFE", 2);
    const QString text = QString::fromUtf8(utf8);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QString path = testsupport::sandboxRoot() + QStringLiteral("/every-control-utf16.txt");
    testsupport::writeFile(path, utf16);
    const RunResult r = preview({QStringLiteral("--tree")}, path);
    EXPECT_EQ(r.exitCode, kUnsetExitCode) << r.err.toStdString();
    EXPECT_EQ(lines(r.out).value(0), QStringLiteral("QmRegPage PG01 0 0 580 400 0x00000000 \"Every control\""));
}

TEST(ScriptPreview, BadArgumentsAndUnknownElements)
{
    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
    } const cases[] = {
        {"an unknown option", {QStringLiteral("--nope")}, 2},
        {"a value missing", {QStringLiteral("--set")}, 2},
        {"no element of that code", {QStringLiteral("--set"), QStringLiteral("NONE=1")}, 1},
        {"no file", {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult r = c.args.isEmpty() ? preview({}, QStringLiteral("/nonexistent/script.txt")) : preview(c.args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.exitCode);
    }
}

}  // namespace
