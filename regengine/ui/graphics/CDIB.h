#pragma once

#include "regengine/core/PackedDib.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QPainter;
class QRect;

namespace engine {

// One picture from the program's bitmap resources (":/<module>/BITMAP/<name>", packed
// bitmaps), with its colour table and the optional mask resource of the same name followed
// by "M". It draws at any size. Palettes need no realising on a true-colour display, so
// that step reports no changed entries; scaled drawing is nearest-pixel, as the masked
// drawing's raster operations need.
class CDIB {
public:
    explicit CDIB(const QString& module = QStringLiteral("launcher"));
    virtual ~CDIB();
    CDIB(const CDIB&) = delete;
    CDIB& operator=(const CDIB&) = delete;

    // The resource named by the decimal id; no mask. False when there is none or it is no
    // bitmap the reader accepts.
    bool LoadFromResource(int id);
    // The resource by name, then name + "M" as the mask. Returns whether the picture loaded.
    bool LoadFromResourceName(const QString& name);
    // The picture itself from packed-bitmap bytes (and a mask's, when given).
    bool LoadFromData(const QByteArray& picture, const std::optional<QByteArray>& mask = std::nullopt);
    void Free();

    bool IsLoaded() const { return !image_.isNull(); }
    bool HasMask() const { return !mask_.isNull(); }
    QSize GetSize() const { return image_.size(); }
    int NumColors() const;
    int PaletteSize() const;
    // Offset of the rows from the start of the bitmap.
    qsizetype BitsOffset() const;
    const std::vector<QColor>& Palette() const { return palette_; }
    const QImage& Image() const { return image_; }
    const QImage& Mask() const { return mask_; }
    // Why the last load failed.
    const QString& LastError() const { return error_; }

    virtual int RealizeDibPalette(QWidget* window, bool background);
    virtual void SetHalftone(bool on) { halftone_ = on; }
    bool Halftone() const { return halftone_; }
    // Whether pictures are stretched to the drawn size; true on this platform, where the
    // drawing library stands in for the stretching one.
    bool UsesStretching() const { return useStretch_; }
    void SetUsesStretching(bool on) { useStretch_ = on; }

    // The picture over (0, 0, width, height): stretched, through the mask where there is one
    // (the picture where the mask is black, the background where it is white); without
    // stretching, the picture's top left part unscaled.
    void Draw(QPainter& painter, int width, int height) const;
    // `source` of the picture (top-left origin) into `destination`: copied when both have
    // the same size, else stretched.
    void StretchDraw(QPainter& painter, const QRect& destination, const QRect& source) const;

private:
    bool Decode(const QByteArray& bytes, QImage& image, std::optional<PackedDib>* info);

    QString module_;
    QImage image_;
    QImage mask_;
    std::optional<PackedDib> info_;
    std::vector<QColor> palette_;
    bool halftone_ = false;
    bool useStretch_ = true;
    QString error_;
};

// A child window showing a CDIB stretched over its client area.
class CDibWnd : public QWidget {
public:
    explicit CDibWnd(QWidget* parent = nullptr, const QString& module = QStringLiteral("launcher"));
    ~CDibWnd() override;

    CDIB& Dib() { return dib_; }
    const CDIB& Dib() const { return dib_; }

    // Realising a palette changes nothing here; the window is repainted when asked.
    virtual void Realize(bool background);
    virtual void SetHalftone(bool on) { dib_.SetHalftone(on); }
    virtual void DrawInto(QPainter& painter);
    // Gives the top-level window holding this one a client area of the picture's size,
    // without moving it; nothing when this window is the top-level one.
    virtual void FitParentFrame();
    virtual void OnPaletteNotify(bool flag);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CDIB dib_;
};

}  // namespace engine
