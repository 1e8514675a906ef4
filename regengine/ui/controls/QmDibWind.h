#pragma once

#include "regengine/core/QmRect.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/graphics/CDIB.h"

namespace engine {

class QmStrStream;

// A picture on a page (GRAPHIC) at its natural size, from a bitmap resource and its mask.
// With flag 0x2 it gives way (zero size) while contrast mode is in force.
class QmDibWind : public CDibWnd, public QmWind {
public:
    static constexpr quint32 kHalftone = 0x1;
    static constexpr quint32 kHideInContrast = 0x2;

    // An element without parent, window or picture.
    QmDibWind();
    // The rest of the line: code, x, y, flags, the bitmap's name and, on the same line only,
    // an optional text.
    QmDibWind(QmStrStream& script, QmWind* parent, const QString& module = QStringLiteral("launcher"));
    ~QmDibWind() override;

    // Placement again: natural rectangle, or none in contrast mode with flag 0x2.
    void UpdateColors() override;
    const QmRect& NaturalRect() const { return natural_; }

private:
    void Place();

    QmRect natural_;
};

}  // namespace engine
