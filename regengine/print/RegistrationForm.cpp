#include "regengine/print/RegistrationForm.h"

#include "regengine/print/RegistrationText.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/Field.h"
#include "regengine/core/FieldList.h"
#include "regengine/core/StringTableMgr.h"

#include "platform/resources/Resources.h"
#include "platform/text/Format.h"

#include <QFont>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <vector>

namespace engine {

namespace {

// Hundredths of an inch, as the form was laid out.
constexpr double kModuleWidth = 1.4;
constexpr double kModuleHeight = 2.8;
constexpr double kLineHeight = 12;
constexpr double kColumnWidth = 250;
constexpr double kListLeft = 50;
constexpr int kValueCharsPerColumn = 16;
// Where the bar codes and the list go on again on a further page.
constexpr double kContinuationTop = 30;

QString prvw(int n, const char* fallback)
{
    return GetTableString(QString::fromUtf8(fallback), n, FourCC("PRVW"));
}

QFont formFont(int pixelSize, int weight)
{
    QFont font(QStringLiteral("Liberation Sans"));
    // Pixel sizes are in the painter's units, hundredths of an inch, so the text keeps its
    // size on every printer resolution.
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

std::optional<QImage> iconResource(const char* id)
{
    const auto bytes =
        platform::findResource(QStringLiteral("launcher"), QStringLiteral("ICON"), QString::fromLatin1(id));
    if (!bytes)
        return std::nullopt;
    QImage image = QImage::fromData(*bytes);
    if (image.isNull())
        return std::nullopt;
    return image;
}

}  // namespace

struct RegistrationForm::Page {
    int index = 0;
    double width = 0;
    double height = 0;
};

RegistrationForm::RegistrationForm(const FieldList* fields, const QStringList& headerLines, bool mailForm)
    : fields_(fields), headerLines_(headerLines), mailForm_(mailForm)
{}

int RegistrationForm::Paint(QPainter& painter, QPagedPaintDevice& device)
{
    if (!painter.isActive())
        return 0;
    placements_.clear();
    capped_ = false;
    Page page;
    page.width = device.width() * 100.0 / device.logicalDpiX();
    page.height = device.height() * 100.0 / device.logicalDpiY();

    painter.save();
    painter.scale(device.logicalDpiX() / 100.0, device.logicalDpiY() / 100.0);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::black);

    double barTop = 0;
    if (mailForm_) {
        PaintMailFace(painter, page);
        barTop = 406;
        // The address may take more room than its box; the bar codes then start below it.
        const double addressBottom = 160 + 24 + 16.0 * headerLines_.size();
        barTop = std::max(barTop, addressBottom + 24);
    } else {
        PaintFaxFace(painter, page);
        barTop = std::max(154.0, 84 + 18.0 * headerLines_.size() + 18);
    }

    const QByteArray text = fields_ != nullptr ? BuildRegistrationText(*fields_) : QByteArray();
    const qsizetype kept = Utf8PrefixLength(text, 0, kFormTextCapBytes);
    if (kept < text.size()) {
        capped_ = true;
        EngineTrace(platform::formatText(QStringLiteral("Bar codes hold %d of the record's %d bytes"), int(kept),
                                         int(text.size())));
    }
    const QList<QByteArray> chunks = SplitUtf8Chunks(text.left(kept), kFormChunkBytes);
    const double symbolHeight = kFormSymbolRows * kModuleHeight;
    double top = barTop;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        const bool even = i % 2 == 0;
        if (even && i > 0)
            top += 3 * kFormSymbolRows + 24;
        if (even && top + symbolHeight > page.height) {
            NextPage(painter, device, page);
            top = kContinuationTop;
        }
        const Pdf417Symbol symbol =
            Pdf417EncodeText(chunks[i].constData(), std::size_t(chunks[i].size()), kFormSymbolColumns, kFormSymbolRows);
        const double x = even ? 52 : 450;
        PaintSymbol(painter, symbol, x, top);
        placements_.append({page.index, QRectF(x, top, symbol.width * kModuleWidth, symbolHeight)});
    }
    const double listTop = chunks.isEmpty() ? barTop : top + 2.8 * kFormSymbolRows + 36;
    PaintList(painter, device, page, listTop);
    painter.restore();
    return page.index + 1;
}

bool RegistrationForm::NextPage(QPainter& painter, QPagedPaintDevice& device, Page& page)
{
    Q_UNUSED(painter);
    if (!device.newPage())
        return false;
    ++page.index;
    return true;
}

void RegistrationForm::PaintFaxFace(QPainter& painter, Page& page)
{
    Q_UNUSED(page);
    painter.setFont(formFont(14, 800));
    const QString lines[] = {
        prvw(4, "Please fax this form to the registration service's fax number."),
        prvw(5, "Receiving is automated so please do not alter this in any way."),
        prvw(6, "Do not send a cover sheet or other correspondence to this number."),
    };
    double y = 30;
    for (const QString& line : lines) {
        painter.drawText(QRectF(20, y, 800, 18), Qt::AlignHCenter | Qt::AlignTop, line);
        y += 18;
    }
    // The fax numbers and the like, from the script's "FaxHeader" list.
    for (const QString& line : headerLines_) {
        painter.drawText(QRectF(20, y, 800, 18), Qt::AlignHCenter | Qt::AlignTop, line);
        y += 18;
    }
}

void RegistrationForm::PaintMailFace(QPainter& painter, Page& page)
{
    Q_UNUSED(page);
    // The address the form goes to: the heading, then the script's "MailHeader" lines.
    painter.setFont(formFont(17, 800));
    painter.drawText(QRectF(300, 160, 400, 24), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Please mail to:"));
    painter.setFont(formFont(14, 400));
    double y = 160 + 24;
    for (const QString& line : headerLines_) {
        painter.drawText(QRectF(300, y, 400, 16), Qt::AlignLeft | Qt::AlignTop, line);
        y += 16;
    }

    painter.setFont(formFont(12, 800));
    painter.drawRect(QRectF(650, 20, 75, 100));
    painter.drawText(QRectF(652, 40, 71, 79), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     prvw(1, "Place Postage Here"));

    const QString fold = prvw(2, "Fold");
    for (double foldY : {366.0, 732.0}) {
        painter.drawLine(QPointF(0, foldY), QPointF(50, foldY));
        painter.drawLine(QPointF(850, foldY), QPointF(700, foldY));
        painter.drawText(QPointF(700, foldY + 5 + 10), fold);
    }

    const QString tape = prvw(3, "Tape");
    painter.setFont(formFont(10, 600));
    if (const auto icon = iconResource("2039")) {
        painter.drawImage(QPointF(409, 48), *icon);
    } else {
        painter.drawRect(QRectF(375, 20, 100, 24));
        painter.drawText(QRectF(375, 20, 100, 24), Qt::AlignCenter, tape);
    }
    const auto sideIcon = iconResource("2040");
    for (double x : {20.0, 786.0}) {
        if (sideIcon) {
            painter.drawImage(QPointF(x, 183), *sideIcon);
            continue;
        }
        const QRectF box(x, 158, 24, 75);
        painter.drawRect(box);
        // Turned by 90 degrees, reading upwards, centred in its box.
        painter.save();
        painter.translate(box.center());
        painter.rotate(-90);
        painter.drawText(QRectF(-box.height() / 2, -box.width() / 2, box.height(), box.width()), Qt::AlignCenter, tape);
        painter.restore();
    }
}

void RegistrationForm::PaintSymbol(QPainter& painter, const Pdf417Symbol& symbol, double x, double y)
{
    if (!symbol.IsValid())
        return;
    painter.fillRect(QRectF(x, y, symbol.width * kModuleWidth, symbol.rows * kModuleHeight), Qt::white);
    // One rectangle per run of dark modules: fewer, larger shapes and no seams inside a bar.
    for (int r = 0; r < symbol.rows; ++r) {
        int c = 0;
        while (c < symbol.width) {
            if (!symbol.Dark(r, c)) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < symbol.width && symbol.Dark(r, c))
                ++c;
            painter.fillRect(
                QRectF(x + start * kModuleWidth, y + r * kModuleHeight, (c - start) * kModuleWidth, kModuleHeight),
                Qt::black);
        }
    }
}

void RegistrationForm::PaintList(QPainter& painter, QPagedPaintDevice& device, Page& page, double top)
{
    if (fields_ == nullptr)
        return;
    const int columns = std::max(1, int((page.width - kListLeft) / kColumnWidth));
    const int faceLines = mailForm_ ? 26 : 49;
    int perColumn = 0;
    std::vector<char> used;
    qsizetype cursor = 0;
    auto startGrid = [&](double gridTop, int wanted) {
        top = gridTop;
        perColumn = std::max(1, std::min(wanted, int((page.height - gridTop) / kLineHeight)));
        used.assign(std::size_t(columns) * std::size_t(perColumn), 0);
        cursor = 0;
    };
    if (top + kLineHeight > page.height) {
        NextPage(painter, device, page);
        startGrid(kContinuationTop, int((page.height - kContinuationTop) / kLineHeight));
    } else {
        startGrid(top, faceLines);
    }

    painter.setFont(formFont(10, 800));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::white);
    const double indent = painter.fontMetrics().horizontalAdvance(QStringLiteral("<XXXX>  "));
    auto cell = [&](int col, int line) -> char& {
        return used[std::size_t(col) * std::size_t(perColumn) + std::size_t(line)];
    };

    for (const auto& field : *fields_) {
        if (!IsPrintableField(*field))
            continue;
        const QString& value = field->GetValue();
        const QString prefix = QLatin1Char('<') + PrintableCode(*field).rightJustified(4, QLatin1Char(' ')).left(4) +
                               QStringLiteral(">  ");
        qsizetype at = 0;
        bool first = true;
        // A long value reaches into the columns to its right while they are free on its line;
        // what does not fit goes on in the following lines, so no part of it is lost.
        do {
            while (cursor < qsizetype(used.size()) && used[std::size_t(cursor)])
                ++cursor;
            if (cursor == qsizetype(used.size())) {
                NextPage(painter, device, page);
                startGrid(kContinuationTop, int((page.height - kContinuationTop) / kLineHeight));
            }
            const int col = int(cursor / perColumn);
            const int line = int(cursor % perColumn);
            int span = 1;
            while (col + span < columns && !cell(col + span, line) && value.size() - at > kValueCharsPerColumn * span)
                ++span;
            const qsizetype take = std::min<qsizetype>(value.size() - at, kValueCharsPerColumn * span);
            for (int s = 0; s < span; ++s)
                cell(col + s, line) = 1;
            const double x = kListLeft + kColumnWidth * col;
            const double y = top + kLineHeight * line;
            const QString piece = value.mid(at, take);
            if (first)
                painter.drawText(QRectF(x, y, kColumnWidth * span, kLineHeight), Qt::AlignLeft | Qt::AlignTop,
                                 prefix + piece);
            else
                painter.drawText(QRectF(x + indent, y, kColumnWidth * span - indent, kLineHeight),
                                 Qt::AlignLeft | Qt::AlignTop, piece);
            at += take;
            first = false;
        } while (at < value.size());
    }
    painter.setBackgroundMode(Qt::TransparentMode);
}

}  // namespace engine
