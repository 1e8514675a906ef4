#pragma once

#include <QtGlobal>

namespace engine {

class QmStrStream;

// A rectangle of page coordinates, as the script gives them.
class QmRect {
public:
    QmRect() = default;
    QmRect(qint32 l, qint32 t, qint32 r, qint32 b) : left(l), top(t), right(r), bottom(b) {}

    void Set(qint32 l, qint32 t, qint32 r, qint32 b);

    // Four numbers x, y, w, h. While relative mode is on, a number written with a sign is
    // relative to the previous rectangle: x and y add to its left and top, a signed w or h
    // takes its width or height whatever the number. The result becomes the previous
    // rectangle. False when a number could not be read.
    bool ReadFromScript(QmStrStream& stream);

    // Scales by the screen's pixels per logical inch when `options` has the scaling bit (1):
    // x and width by dpiX / 96, y and height by dpiY / 96, each division truncating.
    void ScaleForDpi(quint8 options, int dpiX, int dpiY);

    bool operator==(const QmRect& o) const = default;

    // The last rectangle read from the script (zero at start).
    static QmRect& Previous();
    // The relative-coordinates switch; the interpreter turns it on whenever it resets.
    static bool RelativeMode();
    static void SetRelativeMode(bool on);

    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;
};

}  // namespace engine
