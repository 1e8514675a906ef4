#pragma once

#include <QImage>
#include <QString>

namespace engine {

// The bitmap resource `name` of `module` as an image: a packed bitmap as the product's
// pictures are stored, else any image file Qt reads (a bitmap file with its header). A
// missing or unreadable resource gives the null image.
QImage LoadBitmapResource(const QString& module, const QString& name);

}  // namespace engine
