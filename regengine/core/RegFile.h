#pragma once

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/SmartFile.h"

#include <QByteArray>
#include <QHash>

#include <memory>
#include <vector>

namespace engine {

// The prefs file: what the user entered, per manufacturer and product, as little-endian
// records back to back with no file header. Each record is a type (int16), its whole length
// including these four bytes (int16) and a body:
//   1  8 + n   code, n bytes: a value whose characters all fit in one byte
//   2  6       file version, int16 (written 256)
//   3  12      MFGR and PROD codes: a product list starts
//   4  4       the product list ends; later fields go to the global list
//   5  24      PROD code and 16 zero bytes: the last-used product
//   6  8 + 2n  code, n UTF-16LE characters: a value with a character above 255
// Any other type is skipped by its length.
class RegFile : public SmartFile {
public:
    // The file `name` in the engine folder, created empty when there is none.
    explicit RegFile(const QString& name = QStringLiteral("Veldo.dat"));
    ~RegFile() override;

    // Reads the file into the lists. A missing or unreadable file leaves them as they were; a
    // record whose length is wrong for its type is skipped, and one shorter than its header
    // or running past the end of the file ends the reading.
    void ReadExistingFields();
    // Writes every list back, atomically (a temporary file renamed over the old one). False
    // when the file is missing or read-only, when it cannot be written, and when a value was
    // too long for a record and had to be left out.
    bool Save();

    FieldList& GetFieldList() { return global_; }
    // SetField into the global list for every field of `list`.
    void MergeFields(const FieldList& list);
    // Makes `prod` the current product and returns the product list for this maker and
    // product, appending a new one (holding just "MFGR" and "PROD") when there is none.
    FieldList* GetProductList(const FourCC& mfgr, const FourCC& prod);
    // Merges `list` into the product list its "MFGR" and "PROD" name; nothing without both.
    void StoreProductFields(const FieldList& list);
    // The product last saved is the current one.
    bool IsLastProd() const { return lastProd_ == currentProd_; }

    int GetProductListCount() const { return int(products_.size()); }
    FieldList* GetProductListAt(int i) const;
    qint16 GetFileVersion() const { return version_; }
    FourCC GetLastProd() const { return lastProd_; }
    FourCC GetCurrentProd() const { return currentProd_; }

    // The byte form Save writes; false when a value had to be left out.
    bool Serialize(QByteArray& out) const;
    // Reads records from `data` as ReadExistingFields does from the file.
    void Parse(const QByteArray& data);

private:
    // A product list is known by the codes it was made for (the header it was read under, or
    // the codes asked for), even when its own "MFGR" or "PROD" field says otherwise later:
    // two lists must not merge into one on the next read.
    struct ProductList {
        QByteArray key;  // MFGR and PROD code bytes
        std::unique_ptr<FieldList> fields;
    };

    class ParseIndex;

    FieldList global_;
    std::vector<ProductList> products_;
    QHash<QByteArray, qsizetype> productIndex_;  // key -> position of the first list with it
    qint16 version_ = 0;
    FourCC lastProd_;
    FourCC currentProd_;
};

}  // namespace engine
