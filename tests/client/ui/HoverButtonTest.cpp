#include "client/ui/HoverButton.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace client;

namespace {

// A colour none of the images uses, so every pixel that shows it is the parent's.
const QColor kBackground(0xc0, 0x30, 0xa0);
const QPoint kOutside(2, 2);  // the parent, away from the button
const QPoint kFace(5, 16);    // on every face, clear of every glyph
const QPoint kRing(16, 1);    // on the focus ring, outside the faces

QImage resourceImage(const QString& name)
{
    QImage image(QStringLiteral(":/client/BITMAP/") + name);
    EXPECT_FALSE(image.isNull()) << name.toStdString();
    return image;
}

// What the button should show: the named images, in order, over the parent's colour.
QImage composed(const std::vector<const char*>& layers)
{
    QImage out(32, 32, QImage::Format_RGB32);
    out.fill(kBackground);
    QPainter painter(&out);
    for (const char* name : layers)
        painter.drawImage(QPoint(0, 0), resourceImage(QString::fromLatin1(name)));
    return out;
}

int difference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

int difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1000;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            worst = std::max(worst, difference(a.pixel(x, y), b.pixel(x, y)));
    return worst;
}

// A button on a plainly coloured parent window, shown and active. An active window
// gives its first focusable child the focus, so a button meant to be without it is made
// unfocusable before the window shows. The mouse starts on the parent, off the button.
struct Stage {
    explicit Stage(const QString& baseName, bool focusable = false)
    {
        parent.resize(64, 64);
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, kBackground);
        parent.setPalette(palette);
        parent.setAutoFillBackground(true);
        button = new CHoverButton(&parent);
        loaded = button->LoadBitmaps(baseName);
        if (!focusable)
            button->setFocusPolicy(Qt::NoFocus);
        button->SizeToContent();
        button->move(16, 16);
        parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
        parent.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&parent));
        unhover();
    }

    // The button's square as the screen would show it, the parent under it.
    QImage shot() { return parent.grab(button->geometry()).toImage().convertToFormat(QImage::Format_RGB32); }

    // Through the window, as the window system delivers input: Qt then works out the
    // enter and leave events itself.
    QWindow* window() { return parent.windowHandle(); }
    QPoint centre() { return button->geometry().center(); }
    void hover() { QTest::mouseMove(window(), centre()); }
    void unhover() { QTest::mouseMove(window(), kOutside); }
    void press() { QTest::mousePress(window(), Qt::LeftButton, {}, centre()); }
    void release(QPoint at) { QTest::mouseRelease(window(), Qt::LeftButton, {}, at); }

    QWidget parent;
    CHoverButton* button = nullptr;
    bool loaded = false;
};

TEST(HoverButton, LoadsEveryImageOfTheMessageWindow)
{
    for (const char* base : {"TRASH", "SETTINGS", "PREV", "NEXT"}) {
        Stage stage(QString::fromLatin1(base));
        EXPECT_TRUE(stage.loaded) << base;
        EXPECT_EQ(stage.button->size(), QSize(32, 32)) << base;
        for (const char* suffix : {"U", "H", "D", "X", "F"}) {
            const QImage image = resourceImage(QString::fromLatin1(base) + QString::fromLatin1(suffix));
            EXPECT_EQ(image.size(), QSize(32, 32)) << base << suffix;
            EXPECT_TRUE(image.hasAlphaChannel()) << base << suffix;
        }
    }
    Stage missing(QStringLiteral("NOSUCHIMAGE"));
    EXPECT_FALSE(missing.loaded);
}

// The parent shows through where an image is clear, and through the disabled image's
// partial alpha; a blit without alpha would paint black or the face's own colour there.
TEST(HoverButton, BlendsPerPixelAlphaOverTheParent)
{
    Stage stage(QStringLiteral("PREV"));
    stage.button->setEnabled(false);
    const QImage shot = stage.shot();
    EXPECT_EQ(difference(shot.pixel(0, 0), kBackground.rgb()), 0);

    const QColor face = resourceImage(QStringLiteral("PREVX")).pixelColor(kFace);
    ASSERT_GT(face.alpha(), 40);
    ASSERT_LT(face.alpha(), 215);
    const double a = face.alphaF();
    const QColor blended(qRound(face.red() * a + kBackground.red() * (1 - a)),
                         qRound(face.green() * a + kBackground.green() * (1 - a)),
                         qRound(face.blue() * a + kBackground.blue() * (1 - a)));
    EXPECT_LE(difference(shot.pixel(kFace), blended.rgb()), 2);
}

TEST(HoverButton, HoverImageComesWithTheMouseAndGoesWithIt)
{
    Stage stage(QStringLiteral("PREV"));
    const QImage normal = composed({"PREVU"});
    const QImage hover = composed({"PREVH"});
    ASSERT_GT(difference(normal, hover), 40);

    stage.unhover();
    EXPECT_LE(difference(stage.shot(), normal), 1);
    stage.hover();
    EXPECT_TRUE(stage.button->IsHovering());
    EXPECT_LE(difference(stage.shot(), hover), 1);
    stage.unhover();
    EXPECT_FALSE(stage.button->IsHovering());
    EXPECT_LE(difference(stage.shot(), normal), 1);

    stage.hover();
    stage.button->EndHover();
    EXPECT_LE(difference(stage.shot(), normal), 1);
}

// Pressed, the button follows the mouse off it: the hover ends though Qt holds the leave
// back until the release.
TEST(HoverButton, DraggingOffWhilePressedEndsTheHover)
{
    Stage stage(QStringLiteral("PREV"));
    stage.hover();
    stage.press();
    EXPECT_LE(difference(stage.shot(), composed({"PREVD"})), 1);
    QTest::mouseMove(stage.window(), stage.centre() + QPoint(24, 0));
    EXPECT_FALSE(stage.button->IsHovering());
    EXPECT_LE(difference(stage.shot(), composed({"PREVU"})), 1);
    stage.release(stage.centre() + QPoint(24, 0));
}

// Which image each state draws. "NOHOVER" lacks its H image, "NOFOCUS" its F image; both
// are otherwise PREV's images, so the expectations name PREV's.
struct StateCase {
    const char* name;
    const char* base;
    bool hover, pressed, focus, disabled;
    std::vector<const char*> expected;
};

TEST(HoverButton, DrawsTheImageOfItsState)
{
    const StateCase cases[] = {
        {"normal", "PREV", false, false, false, false, {"PREVU"}},
        {"pressed", "PREV", true, true, false, false, {"PREVD"}},
        {"disabled", "PREV", false, false, false, true, {"PREVX"}},
        {"focus over normal", "PREV", false, false, true, false, {"PREVU", "PREVF"}},
        {"focus over hover", "PREV", true, false, true, false, {"PREVH", "PREVF"}},
        {"focus over pressed", "PREV", true, true, true, false, {"PREVD", "PREVF"}},
        {"no H image: normal while hovering", "NOHOVER", true, false, false, false, {"PREVU"}},
        {"no H image: focus over normal while hovering", "NOHOVER", true, false, true, false, {"PREVU", "PREVF"}},
        {"no F image: hover without overlay", "NOFOCUS", true, false, true, false, {"PREVH"}},
        {"no F image: pressed without overlay", "NOFOCUS", true, true, true, false, {"PREVD"}},
        {"no F image: normal without overlay", "NOFOCUS", false, false, true, false, {"PREVU"}},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        Stage stage(QString::fromLatin1(c.base), c.focus);
        ASSERT_TRUE(stage.loaded);
        if (c.hover)
            stage.hover();
        if (c.pressed)
            stage.press();
        if (c.focus) {
            stage.button->setFocus();
            ASSERT_TRUE(stage.button->hasFocus());
        }
        if (c.disabled)
            stage.button->setEnabled(false);

        ASSERT_EQ(stage.button->IsHovering(), c.hover);
        const QImage shot = stage.shot();
        EXPECT_LE(difference(shot, composed(c.expected)), 1);
        // The ring lies outside every face: it shows exactly when a focus image is drawn.
        const bool ring = std::find_if(c.expected.begin(), c.expected.end(),
                                       [](const char* n) { return QByteArray(n).endsWith('F'); }) != c.expected.end();
        EXPECT_EQ(difference(shot.pixel(kRing), kBackground.rgb()) > 60, ring);
        if (c.pressed)
            stage.release(stage.centre());
    }
}

TEST(HoverButton, ClickIsReportedAndFocusLeavingRemovesTheRing)
{
    Stage stage(QStringLiteral("TRASH"), true);
    int clicks = 0;
    QObject::connect(stage.button, &QAbstractButton::clicked, [&] { ++clicks; });
    auto* other = new QWidget(&stage.parent);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 0, 8, 8);
    other->show();

    stage.hover();
    QTest::mouseClick(stage.window(), Qt::LeftButton, {}, stage.centre());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(stage.button->hasFocus());
    EXPECT_LE(difference(stage.shot(), composed({"TRASHH", "TRASHF"})), 1);

    other->setFocus();
    stage.unhover();
    EXPECT_LE(difference(stage.shot(), composed({"TRASHU"})), 1);
}

}  // namespace
