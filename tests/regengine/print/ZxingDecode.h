#pragma once

// Reads PDF417 symbols back with zxing-cpp, the independent reader the tests trust.

#include <ZXing/ReadBarcode.h>

#include <QByteArray>
#include <QImage>

#include <optional>

namespace printtest {

// The bytes of the one PDF417 symbol in `image`, or nullopt when none is read.
inline std::optional<QByteArray> decodePdf417(const QImage& image)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    hints.setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(ZXing::ImageView(gray.constBits(), gray.width(), gray.height(),
                                                                     ZXing::ImageFormat::Lum, int(gray.bytesPerLine())),
                                                    hints);
    if (!result.isValid())
        return std::nullopt;
    const auto& bytes = result.bytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace printtest
