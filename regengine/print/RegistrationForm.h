#pragma once

#include "regengine/print/Pdf417.h"

#include <QList>
#include <QRectF>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace engine {

class FieldList;

// The printed registration form: the record's PDF417 symbols and its readable list, under
// a fax face (instructions on top) or a mail face (address, postage box, fold and tape
// marks). Painted in hundredths of an inch from the printable area's top left, y down.
// A record longer than one page goes on onto further pages; nothing is left off.
class RegistrationForm {
public:
    RegistrationForm(const FieldList* fields, const QStringList& headerLines, bool mailForm);

    // Paints every page; the device gets a new page when one is full. Returns the number of
    // pages painted, 0 when the painter is not active.
    int Paint(QPainter& painter, QPagedPaintDevice& device);

    // Where each symbol went, for the readers that check a printed page: page (from 0) and
    // rectangle in hundredths of an inch.
    struct Placement {
        int page = 0;
        QRectF rect;
    };
    const QList<Placement>& SymbolPlacements() const { return placements_; }
    // The bar codes hold at most kFormTextCapBytes of the record; true when it was longer
    // (the readable list still holds all of it).
    bool BarcodeTextCapped() const { return capped_; }

private:
    struct Page;
    void PaintFaxFace(QPainter& painter, Page& page);
    void PaintMailFace(QPainter& painter, Page& page);
    void PaintSymbol(QPainter& painter, const Pdf417Symbol& symbol, double x, double y);
    void PaintList(QPainter& painter, QPagedPaintDevice& device, Page& page, double top);
    bool NextPage(QPainter& painter, QPagedPaintDevice& device, Page& page);

    const FieldList* fields_;
    QStringList headerLines_;
    bool mailForm_;
    bool capped_ = false;
    QList<Placement> placements_;
};

}  // namespace engine
