#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

using testsupport::RunResult;

const QString kFixture = QStringLiteral("/tests/tools/script-preview/fixtures/registration-pages.txt");

// The preview over the fixture pages, its modems from the fixture's sysfs lines plus one
// named by path.
RunResult preview(const QStringList& args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("OVEX_MODEMS"), QStringLiteral("/dev/modem"));
    const QStringList lines{QStringLiteral("--modem-lines"),
                            testsupport::sourceDir() + QStringLiteral("/tests/fixtures/sysfs/class/tty")};
    return testsupport::runProgram(testsupport::binaryDir() + QStringLiteral("/tools/script-preview/script-preview"),
                                   QStringList{testsupport::sourceDir() + kFixture} + lines + args, env);
}

QString shot(const char* name)
{
    return testsupport::sandboxRoot() + u'/' + QString::fromLatin1(name);
}

TEST(RegistrationPagesPreview, TheModemPageListsTheFixtureModemsForTheModemMethod)
{
    const RunResult r = preview({QStringLiteral("--page"), QStringLiteral("2"), QStringLiteral("--click"),
                                 QStringLiteral(";OTH"), QStringLiteral("--click"), QStringLiteral(";MDR"),
                                 QStringLiteral("--set"), QStringLiteral("_MDM=Modem on /dev/modem"),
                                 QStringLiteral("--tree"), QStringLiteral("--screenshot"), shot("modem.png")});
    ASSERT_FALSE(r.crashed);
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(QStringLiteral("ModemPage PG03 0 0 580 360")));
    EXPECT_TRUE(out.contains(QStringLiteral("QmGroupWindow ;MTH 20 16 260 150 0x00000004 \";MDR\"")));
    EXPECT_TRUE(out.contains(QStringLiteral("QmCombo _MDM 300 78 260 22 0x00000004 \"Modem on /dev/modem\"")))
        << out.toStdString();
    const QImage image(shot("modem.png"));
    EXPECT_EQ(image.size(), QSize(600, 400));
}

TEST(RegistrationPagesPreview, TheMethodPageOpensTheSiteWithItsTags)
{
    const RunResult r =
        preview({QStringLiteral("--page"), QStringLiteral("1"), QStringLiteral("--click"), QStringLiteral("WEBR")});
    ASSERT_FALSE(r.crashed);
    EXPECT_TRUE(QString::fromUtf8(r.out).contains(QStringLiteral("open: https://register.example.com/?product=Ovex")))
        << r.out.toStdString();
}

TEST(RegistrationPagesPreview, TheButtonsOpenTheDialogs)
{
    const RunResult later = preview({QStringLiteral("--click"), QStringLiteral("LATR"), QStringLiteral("--screenshot"),
                                     shot("later.png"), QStringLiteral("--press"), QStringLiteral("1")});
    ASSERT_FALSE(later.crashed);
    EXPECT_TRUE(QString::fromUtf8(later.out).contains(QStringLiteral("register-later: answer 1")))
        << later.out.toStdString() << later.err.toStdString();
    // The dialog's own size, not the window's.
    EXPECT_LT(QImage(shot("later.png")).width(), 600);

    const RunResult status =
        preview({QStringLiteral("--click"), QStringLiteral("STAT"), QStringLiteral("--screenshot"), shot("status.png"),
                 QStringLiteral("--press"), QStringLiteral("2"), QStringLiteral("--press"), QStringLiteral("2")});
    ASSERT_FALSE(status.crashed);
    const QImage image(shot("status.png"));
    EXPECT_FALSE(image.isNull());
    EXPECT_LT(image.width(), 600);
    // Cancel ended the window: a second press finds no dialog.
    EXPECT_TRUE(QString::fromUtf8(status.err).contains(QStringLiteral("no open dialog with a button 2")))
        << status.err.toStdString();
}

}  // namespace
