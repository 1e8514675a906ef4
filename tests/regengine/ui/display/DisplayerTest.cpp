#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/display/DialogStaticDisplayer.h"
#include "regengine/ui/display/TextDisplayer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

using namespace engine;

namespace {

// However long the text has grown, a new one goes at its end.
TEST(TextDisplayer, AppendsAtTheEndOfALongText)
{
    QPlainTextEdit edit;
    edit.setPlainText(QString(40000, u'a'));
    TextDisplayer d;
    d.SetWindow(&edit);
    d.Write(u"END", false);
    EXPECT_TRUE(edit.toPlainText().endsWith(u"aEND"));
    EXPECT_EQ(edit.toPlainText().size(), 40003);
    d.Clear();
    EXPECT_TRUE(edit.toPlainText().isEmpty());
}

TEST(TextDisplayer, DialogItemWinsOverTheWindow)
{
    QWidget dialog;
    auto* item = new QLineEdit(&dialog);
    item->setProperty(kDialogItemIdProperty, 2012);
    QLineEdit window;
    TextDisplayer d;
    d.SetWindow(&window);
    d.SetDialogItem(&dialog, 2012);
    d.Write(u"status", false);
    EXPECT_EQ(item->text(), u"status");
    EXPECT_TRUE(window.text().isEmpty());

    d.SetDialogItem(nullptr, 0);
    d.Write(u"window", false);
    EXPECT_EQ(window.text(), u"window");
}

TEST(TextDisplayer, DestroyedTargetIsLeftAlone)
{
    TextDisplayer d;
    {
        QPlainTextEdit edit;
        d.SetWindow(&edit);
        d.WriteLine(QStringLiteral("seen"));
    }
    EXPECT_EQ(d.GetWindow(), nullptr);
    d.WriteLine(QStringLiteral("not seen"));
}

TEST(DialogStaticDisplayer, ShowsTheLastWriteOnly)
{
    QWidget dialog;
    auto* label = new QLabel(&dialog);
    label->setProperty(kDialogItemIdProperty, 2012);
    DialogStaticDisplayer d(&dialog, 2012);
    d.SetClearFirst(true);
    d.WriteLine(QStringLiteral("Dialling"));
    d.WriteLine(QStringLiteral("Connected"));
    EXPECT_EQ(label->text(), u"Connected");

    DialogStaticDisplayer none(&dialog, 0);
    none.WriteLine(QStringLiteral("x"));
    DialogStaticDisplayer missing(&dialog, 99);
    missing.WriteLine(QStringLiteral("x"));
    DialogStaticDisplayer noDialog(nullptr, 2012);
    noDialog.WriteLine(QStringLiteral("x"));
    EXPECT_EQ(label->text(), u"Connected");
}

}  // namespace
