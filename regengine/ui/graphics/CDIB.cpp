#include "regengine/ui/graphics/CDIB.h"

#include "regengine/core/Versions.h"

#include "platform/resources/Resources.h"

#include <QPainter>
#include <QRect>

namespace engine {

namespace {

QImage toImage(const PackedDib& dib, QByteArrayView data)
{
    const std::vector<quint32> pixels = dib.Decode(data);
    QImage image(dib.width, dib.height, QImage::Format_RGB32);
    for (int y = 0; y < dib.height; ++y)
        std::copy_n(pixels.data() + size_t(y) * size_t(dib.width), dib.width,
                    reinterpret_cast<quint32*>(image.scanLine(y)));
    return image;
}

}  // namespace

CDIB::CDIB(const QString& module) : module_(module) {}

CDIB::~CDIB()
{
    Free();
}

void CDIB::Free()
{
    image_ = QImage();
    mask_ = QImage();
    info_.reset();
    palette_.clear();
}

bool CDIB::Decode(const QByteArray& bytes, QImage& image, std::optional<PackedDib>* info)
{
    const std::optional<PackedDib> dib = PackedDib::Parse(bytes, &error_);
    if (!dib)
        return false;
    image = toImage(*dib, bytes);
    if (info != nullptr)
        *info = dib;
    return true;
}

bool CDIB::LoadFromData(const QByteArray& picture, const std::optional<QByteArray>& mask)
{
    Free();
    useStretch_ = GetPlatformId() != 0;
    error_.clear();
    if (!Decode(picture, image_, &info_))
        return false;
    // The palette serves drawing without stretching; with it the colours are drawn directly.
    for (quint32 c : info_->colors)
        palette_.push_back(QColor::fromRgb(c));
    if (mask) {
        QString pictureError = error_;
        if (!Decode(*mask, mask_, nullptr))
            mask_ = QImage();
        error_ = pictureError;
    }
    return true;
}

bool CDIB::LoadFromResource(int id)
{
    const std::optional<QByteArray> bytes =
        platform::findResource(module_, QStringLiteral("BITMAP"), QString::number(id));
    if (!bytes) {
        Free();
        error_ = QStringLiteral("no bitmap resource %1").arg(id);
        return false;
    }
    return LoadFromData(*bytes);
}

bool CDIB::LoadFromResourceName(const QString& name)
{
    const std::optional<QByteArray> bytes = platform::findResource(module_, QStringLiteral("BITMAP"), name);
    if (!bytes) {
        Free();
        error_ = QStringLiteral("no bitmap resource %1").arg(name);
        return false;
    }
    return LoadFromData(*bytes, platform::findResource(module_, QStringLiteral("BITMAP"), name + u'M'));
}

int CDIB::NumColors() const
{
    return info_ ? info_->numColors : 0;
}

int CDIB::PaletteSize() const
{
    return info_ ? info_->paletteSize : 0;
}

qsizetype CDIB::BitsOffset() const
{
    return info_ ? info_->bitsOffset : 0;
}

int CDIB::RealizeDibPalette(QWidget*, bool)
{
    return 0;
}

void CDIB::Draw(QPainter& painter, int width, int height) const
{
    if (image_.isNull())
        return;
    const QRect all(0, 0, width, height);
    if (!useStretch_) {
        StretchDraw(painter, all, all);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, halftone_ && mask_.isNull());
    if (mask_.isNull()) {
        painter.drawImage(all, image_);
    } else {
        // picture XOR background, AND mask, XOR picture: black mask bits leave the picture,
        // white ones the background. Exact only pixel for pixel, so no smoothing.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawImage(all, image_);
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.drawImage(all, mask_);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawImage(all, image_);
    }
    painter.restore();
}

void CDIB::StretchDraw(QPainter& painter, const QRect& destination, const QRect& source) const
{
    if (image_.isNull())
        return;
    if (destination.size() == source.size())
        painter.drawImage(destination.topLeft(), image_, source);
    else
        painter.drawImage(destination, image_, source);
}

CDibWnd::CDibWnd(QWidget* parent, const QString& module) : QWidget(parent), dib_(module) {}

CDibWnd::~CDibWnd() = default;

void CDibWnd::Realize(bool background)
{
    if (dib_.RealizeDibPalette(this, background) != 0 || background)
        update();
}

void CDibWnd::DrawInto(QPainter& painter)
{
    dib_.Draw(painter, width(), height());
}

void CDibWnd::FitParentFrame()
{
    QWidget* frame = window();
    if (frame == this || frame == nullptr || !dib_.IsLoaded())
        return;
    // The frame's client area becomes the picture's size; its place stays.
    frame->resize(dib_.GetSize());
}

void CDibWnd::OnPaletteNotify(bool flag)
{
    if (flag)
        Realize(false);
}

void CDibWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawInto(painter);
}

}  // namespace engine
