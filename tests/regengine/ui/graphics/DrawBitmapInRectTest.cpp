#include "regengine/ui/graphics/DrawBitmapInRect.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPalette>

using namespace engine;

namespace {

const QColor kCanvas(Qt::green);
const QColor kBitmap(Qt::red);
const QColor kFill(Qt::blue);

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

struct Drawn {
    QImage image;
    int result;
};

// A 40 x 40 green canvas with the painter run over all of it.
Drawn draw(const QImage* bitmap, quint32 mode, const QColor* color)
{
    QImage canvas(40, 40, QImage::Format_RGB32);
    canvas.fill(kCanvas);
    QPainter painter(&canvas);
    const int result = DrawBitmapInRect(&painter, bitmap, mode, color, QRect(0, 0, 40, 40));
    painter.end();
    return {canvas, result};
}

void useScreen(int dpi, bool highContrast, quint8 options)
{
    ScreenInfo::SetMetricsSource([=] { return ScreenInfo::Metrics{dpi, dpi, highContrast}; });
    ScreenInfo::Instance().Refresh();
    ScreenInfo::Instance().SetOptions(0, 0xFF);
    ScreenInfo::Instance().SetOptions(options, 0);
}

TEST(DrawBitmapInRect, BitmapColourAndContrastCases)
{
    QImage bitmap(10, 10, QImage::Format_RGB32);
    bitmap.fill(kBitmap);
    const QImage empty;
    struct Case {
        const char* name;
        int dpi;
        bool highContrast;
        quint8 options;
        const QImage* bitmap;
        quint32 mode;
        bool withColor;
        QColor topLeft;   // inside the bitmap's place
        QColor besideIt;  // right of the bitmap, in its rows
        QColor belowIt;   // under the bitmap
    };
    const Case cases[] = {
        {"colour only fills everything", 96, false, 0, nullptr, 0, true, kFill, kFill, kFill},
        {"bitmap at its size, colour below it", 96, false, 0, &bitmap, 0, true, kBitmap, kCanvas, kFill},
        {"bitmap without colour", 96, false, 0, &bitmap, 0, false, kBitmap, kCanvas, kCanvas},
        {"stretched bitmap", 96, false, 0, &bitmap, DrawMode::Stretch, true, kBitmap, kBitmap, kBitmap},
        {"scaled for 192 dpi", 192, false, ScreenInfo::kScaling, &bitmap, 0, true, kBitmap, kCanvas, kFill},
        {"an empty bitmap draws only the colour", 96, false, 0, &empty, 0, true, kFill, kFill, kFill},
        {"nothing to draw", 96, false, 0, nullptr, 0, false, kCanvas, kCanvas, kCanvas},
        {"contrast honoured: button face only", 96, true, ScreenInfo::kContrast, &bitmap, DrawMode::HonourContrast,
         true, buttonFace(), buttonFace(), buttonFace()},
        {"contrast not honoured: button face for the colour", 96, true, ScreenInfo::kContrast, &bitmap, 0, true,
         kBitmap, kCanvas, buttonFace()},
        {"high contrast without the option changes nothing", 96, true, 0, &bitmap, DrawMode::HonourContrast, true,
         kBitmap, kCanvas, kFill},
    };
    for (const Case& c : cases) {
        useScreen(c.dpi, c.highContrast, c.options);
        const Drawn d = draw(c.bitmap, c.mode, c.withColor ? &kFill : nullptr);
        EXPECT_EQ(d.result, 1) << c.name;
        EXPECT_EQ(d.image.pixelColor(2, 2), c.topLeft) << c.name;
        EXPECT_EQ(d.image.pixelColor(30, 2), c.besideIt) << c.name;
        EXPECT_EQ(d.image.pixelColor(2, 30), c.belowIt) << c.name;
    }
    // The scaled bitmap covers 20 x 20, so a point at 15, 15 is still bitmap.
    useScreen(192, false, ScreenInfo::kScaling);
    EXPECT_EQ(draw(&bitmap, 0, &kFill).image.pixelColor(15, 15), kBitmap);
    useScreen(96, false, 0);
    EXPECT_EQ(draw(&bitmap, 0, &kFill).image.pixelColor(15, 15), kFill);
}

TEST(DrawBitmapInRect, NoPainterGivesZero)
{
    const QColor color(Qt::blue);
    EXPECT_EQ(DrawBitmapInRect(nullptr, nullptr, 0, &color, QRect(0, 0, 4, 4)), 0);
}

}  // namespace
