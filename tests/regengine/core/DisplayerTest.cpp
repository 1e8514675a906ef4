#include "regengine/core/Displayer.h"
#include "regengine/core/Dumper.h"
#include "regengine/core/FileDisplayer.h"
#include "regengine/core/Timer.h"

#include "tests/support/FakeClock.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>

using namespace engine;

namespace {

// Records what reaches the target, with the clock reading of each write.
class Recording : public Displayer {
public:
    explicit Recording(const Clock* clock = nullptr) : Displayer(clock), clock_(clock) {}
    void Clear() override
    {
        text.clear();
        ++clears;
    }
    void Append(QStringView s) override
    {
        text += s;
        if (clock_ != nullptr)
            times.push_back(clock_->MonotonicMs());
    }
    QString text;
    int clears = 0;
    std::vector<qint64> times;

private:
    const Clock* clock_;
};

QString filePath(const QString& name)
{
    return QDir(testsupport::sandboxRoot()).filePath(name);
}

// A file written by a FileDisplayer, read back from its UTF-16LE bytes.
QString readUtf16(const QString& path)
{
    const QByteArray bytes = testsupport::readFile(path);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

TEST(Displayer, WritesWithLineEndsUnlessClearingFirst)
{
    Recording d;
    d.WriteLine(QStringLiteral("one"));
    d.Write(u"two", false);
    d.WriteChar(u'!');
    d.WriteNumber(-42);
    EXPECT_EQ(d.text, u"one\r\ntwo!-42\r\n");

    EXPECT_FALSE(d.SetClearFirst(true));
    d.WriteLine(QStringLiteral("only this"));
    EXPECT_EQ(d.text, u"only this");
    EXPECT_EQ(d.clears, 1);
}

TEST(Displayer, DisabledWritesNothingButReportsTheError)
{
    Recording d;
    EXPECT_TRUE(d.SetEnabled(false));
    d.WriteLine(QStringLiteral("hidden"));
    d.WriteChar(u'x');
    errno = ENOENT;
    EXPECT_EQ(d.ShowLastError(), ENOENT);
    EXPECT_TRUE(d.text.isEmpty());

    d.SetEnabled(true);
    errno = ENOENT;
    EXPECT_EQ(d.ShowLastError(), ENOENT);
    EXPECT_EQ(d.text, qt_error_string(ENOENT) + QStringLiteral("\r\n"));
}

// The delay keeps each text readable: the second write waits out five tenths on the
// monotonic clock, the first does not wait at all.
TEST(Displayer, DelayWaitsBetweenWrites)
{
    testsupport::FakeClock clock;
    Recording d(&clock);
    EXPECT_EQ(d.SetDelay(5), 0);
    d.Write(u"first", false);
    EXPECT_EQ(clock.slept, 0);
    d.Write(u"second", false);
    ASSERT_EQ(d.times.size(), 2u);
    EXPECT_GE(d.times[1] - d.times[0], 500);
    clock.ms += 800;
    const qint64 before = clock.slept;
    d.Write(u"third", false);
    EXPECT_EQ(clock.slept, before) << "enough time had passed already";
}

TEST(FileDisplayer, WritesUtf16LittleEndianWithoutMark)
{
    const QString path = filePath(QStringLiteral("trace.txt"));
    FileDisplayer d;
    ASSERT_TRUE(d.Open(path));
    d.Write(u"ab", false);
    EXPECT_EQ(testsupport::readFile(path), QByteArray("a\0b\0", 4));
    d.WriteLine(QString::fromUtf16(u"\u00E9\u20AC"));
    EXPECT_EQ(testsupport::readFile(path), QByteArray("a\0b\0\xE9\0\xAC\x20\r\0\n\0", 12));

    ASSERT_TRUE(d.Open(path));
    EXPECT_EQ(testsupport::readFile(path), QByteArray()) << "opening truncates";
    EXPECT_FALSE(d.Open(filePath(QStringLiteral("no/such/folder/trace.txt"))));
    d.WriteLine(QStringLiteral("nowhere"));
}

TEST(Dumper, ListsTenBytesALineWithTheirCharacters)
{
    const QString path = filePath(QStringLiteral("dump.txt"));
    FileDisplayer file;
    ASSERT_TRUE(file.Open(path));
    Dumper dumper;
    dumper.Attach(&file);
    dumper.Dump(QStringLiteral("Sent"), "Hello, World", 3);
    const QString expected = QStringLiteral(
        "\r\nSent 12  @ 3"
        "\r\n"
        "   0    48 65 6c 6c 6f    2c 20 57 6f 72     ||  Hello   , Wor\r\n"
        "  10    6c 64     ||  ld\r\n");
    EXPECT_EQ(readUtf16(path), expected);
}

TEST(Dumper, ControlAndHighBytesShowAsDots)
{
    const QString path = filePath(QStringLiteral("dump.txt"));
    FileDisplayer file;
    ASSERT_TRUE(file.Open(path));
    Dumper dumper;
    dumper.Attach(&file);
    const char data[] = {0x00, 0x1f, 0x20, 0x7e, 0x7f, char(0x80), char(0xff), 'A', 'z', '~', 0x0d};
    dumper.Dump(QString(), QByteArrayView(data, sizeof data), 0);
    EXPECT_EQ(readUtf16(path), QStringLiteral("\r\n"
                                              "   0     0 1f 20 7e 7f    80 ff 41 7a 7e     ||  .. ~.   ..Az~\r\n"
                                              "  10     d     ||  .\r\n"));
}

TEST(Dumper, TitleOnlyForNoBytesAndNothingWithoutDisplayer)
{
    Recording d;
    Dumper dumper;
    dumper.Dump(QStringLiteral("Lost"), "abc", 0);
    dumper.Attach(&d);
    dumper.Dump(QStringLiteral("Received"), QByteArrayView(), 17);
    EXPECT_EQ(d.text, u"\r\nReceived 0  @ 17");
}

TEST(Timer, ElapsedUnitsTruncate)
{
    testsupport::FakeClock clock;
    Timer timer(&clock);
    clock.ms += 2345;
    EXPECT_EQ(timer.ElapsedHundredths(), 234);
    EXPECT_EQ(timer.ElapsedSeconds(), 2);
    EXPECT_EQ(timer.ElapsedMinutes(), 0);
    clock.ms += 58655;
    EXPECT_EQ(timer.ElapsedMinutes(), 1);
    EXPECT_EQ(timer.Restart(), clock.ms);
    EXPECT_EQ(timer.ElapsedHundredths(), 0);
}

}  // namespace
