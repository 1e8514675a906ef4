#include "client/TovaReader.h"
#include "tests/client/model/ModelTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QLocale>

using namespace client;

namespace {

TovaReader parse(const QByteArray& text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return TovaReader::Read(buffer);
}

const QByteArray kMfgr = ">BeginMfgrInfo\nmfgr:OVEX\n>EndMfgrInfo\n";

TEST(TovaReader, Grammar)
{
    const struct {
        const char* name;
        QByteArray text;
        bool ok;
    } cases[] = {
        {"empty file", "", true},
        {"comments and blank lines everywhere",
         "# c\n\n" + kMfgr + "  \n>BeginMessage\n# inside\n\nid:1\n>EndMessage\n", true},
        {"indented lines", "  >BeginMfgrInfo  \n\tmfgr:OVEX\n  >EndMfgrInfo\n", true},
        {"text outside a section", "mfgr:OVEX\n" + kMfgr, false},
        {"line without a colon", ">BeginMfgrInfo\nmfgr OVEX\n>EndMfgrInfo\n", false},
        {"begin inside a section", ">BeginMfgrInfo\n>BeginChannel\n>EndChannel\n>EndMfgrInfo\n", false},
        {"end of another section", ">BeginMfgrInfo\nmfgr:OVEX\n>EndChannel\n", false},
        {"end outside a section", kMfgr + ">EndMfgrInfo\n", false},
        {"end of file inside a section", kMfgr + ">BeginMessage\nid:1\n", false},
        {"end of file inside a nameless section", ">Begin\nid:1\n", false},
        {"error then more sections", ">BeginA\nbad\n>EndA\n" + kMfgr, false},
        {"last line without a line feed", kMfgr + ">BeginMessage\nid:1\n>EndMessage", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.text).ok, c.ok) << c.name;
}

TEST(TovaReader, KeysValuesAndRepeatedSections)
{
    const TovaReader r = parse(
        ">BeginChannel\nName:a\nTITLE:first\ntitle:second\nurl:file:///C:\\x\\y.htm\n"
        "description: lead blank:kept\n>EndChannel\n>BeginChannel\nname:b\n>EndChannel\n"
        ">BeginRecord\nModl:X1\nMFGR:OVEX\n>EndRecord\n");
    ASSERT_TRUE(r.ok);
    const QList<RecordMap> channels = r.GetSection("channel");
    ASSERT_EQ(channels.size(), 2);
    EXPECT_EQ(
        channels[0],
        (RecordMap{
            {"name", "a"}, {"title", "second"}, {"url", "file:///C:\\x\\y.htm"}, {"description", " lead blank:kept"}}));
    EXPECT_EQ(GetField(channels[1], "name"), "b");
    EXPECT_EQ(r.GetSection("record").front(), (RecordMap{{"Modl", "X1"}, {"MFGR", "OVEX"}}));
    EXPECT_TRUE(r.GetSection("message").isEmpty());
    EXPECT_EQ(r.lineCount, 14);
}

TEST(TovaReader, ByteOrderMarkCrLfAndCapitalMarkers)
{
    const TovaReader r = TovaReader::Read(modeltest::fixture("bom-crlf-upper-case-markers.tova"));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.GetSection("mfgrinfo").size(), 1);
    EXPECT_EQ(r.GetSection("mfgrinfo").front(), (RecordMap{{"mfgr", "ACME"}, {"fullname", "Acme & Sons"}}));
    EXPECT_EQ(GetField(r.GetSection("channel").front(), "title"), "Alerts");
    EXPECT_EQ(GetField(r.GetSection("record").front(), "Modl"), "X1");
}

TEST(TovaReader, FileUrlKeepsItsColonsAndValuesTheirBlanks)
{
    const TovaReader r = TovaReader::Read(modeltest::fixture("file-url-with-colons.tova"));
    ASSERT_TRUE(r.ok);
    const RecordMap m = r.GetSection("message").front();
    EXPECT_EQ(GetField(m, "url"), "file:///C:\\Program Files\\Ovex\\Ovex Kelvo\\messages\\welcome.htm");
    EXPECT_EQ(GetField(m, "note"), " a blank after the colon belongs to the value");
}

TEST(TovaReader, EndOfFileInsideASection)
{
    EXPECT_FALSE(TovaReader::Read(modeltest::fixture("end-of-file-inside-section.tova")).ok);
}

// A line longer than the format allows fails the file, wherever it is.
TEST(TovaReader, LineLengthLimit)
{
    const auto withValue = [](int bytes, const QByteArray& eol) {
        const QByteArray line = "url:" + QByteArray(bytes - 4, 'x');
        return kMfgr + ">BeginMessage" + eol + "id:1" + eol + line + eol + ">EndMessage" + eol + kMfgr;
    };
    EXPECT_TRUE(parse(withValue(TovaReader::kMaxLineBytes, "\n")).ok);
    EXPECT_TRUE(parse(withValue(TovaReader::kMaxLineBytes, "\r\n")).ok);
    EXPECT_FALSE(parse(withValue(TovaReader::kMaxLineBytes + 1, "\n")).ok);
    EXPECT_FALSE(parse(withValue(TovaReader::kMaxLineBytes + 1, "\r\n")).ok);
    EXPECT_FALSE(parse(withValue(100000, "\n")).ok);
    // Leading blanks count: the limit is on the line as stored.
    EXPECT_FALSE(parse(kMfgr + QByteArray(TovaReader::kMaxLineBytes, ' ') + "#\n").ok);
    // The last line, without a line feed, is measured the same way.
    EXPECT_FALSE(parse(kMfgr + "#" + QByteArray(TovaReader::kMaxLineBytes, 'x')).ok);
    EXPECT_TRUE(parse(kMfgr + "#" + QByteArray(TovaReader::kMaxLineBytes - 1, 'x')).ok);
}

TEST(TovaReader, MissingFileReadsAsEmpty)
{
    const TovaReader r = TovaReader::Read(testsupport::sandboxRoot() + "/no such file.tova");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.sections.isEmpty());
}

// A locale-aware lower-casing would turn the I of "MFGRINFO" into a dotless i under a
// Turkish locale, and the section would not be found.
TEST(TovaReader, CaseFoldingIgnoresTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const TovaReader r = parse(">BEGINMFGRINFO\nMFGR:OVEX\nFULLNAME:I\n>ENDMFGRINFO\n");
    QLocale::setDefault(saved);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.GetSection("mfgrinfo").value(0), (RecordMap{{"mfgr", "OVEX"}, {"fullname", "I"}}));
}

}  // namespace
