#include "regengine/core/RegFile.h"

#include <QFile>
#include <QSaveFile>

#include <limits>
#include <unordered_map>

namespace engine {

namespace {

const FourCC kMfgr("MFGR");
const FourCC kProd("PROD");

constexpr qint16 kFieldRecord = 1;
constexpr qint16 kVersionRecord = 2;
constexpr qint16 kProductStart = 3;
constexpr qint16 kProductEnd = 4;
constexpr qint16 kLastProduct = 5;
constexpr qint16 kWideFieldRecord = 6;
constexpr qint16 kWrittenVersion = 256;
// The length is a signed 16-bit number that counts the whole record.
constexpr qsizetype kMaxRecord = std::numeric_limits<qint16>::max();

qint16 readInt16(const QByteArray& data, qsizetype at)
{
    return static_cast<qint16>(quint16(quint8(data[at])) | quint16(quint8(data[at + 1])) << 8);
}

void appendInt16(QByteArray& out, qint16 value)
{
    out += char(quint16(value) & 0xFF);
    out += char(quint16(value) >> 8);
}

void appendHeader(QByteArray& out, qint16 type, qsizetype length)
{
    appendInt16(out, type);
    appendInt16(out, qint16(length));
}

// A product code from a field value, as the 8-bit text of its first four characters padded
// with 0. A character beyond 8 bits has no byte and becomes "?".
FourCC productCode(const QString& value)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < 4 && i < value.size(); ++i)
        bytes += value[i].unicode() < 256 ? char(value[i].unicode()) : '?';
    return FourCC::FromBytes(bytes);
}

// The code as field text: padding bytes are not part of the value they came from.
QString codeText(const FourCC& code)
{
    QString text = FieldCodeToString(code);
    while (!text.isEmpty() && text.back() == QChar())
        text.chop(1);
    return text;
}

bool appendField(QByteArray& out, const Field& field)
{
    const QString& value = field.GetValue();
    bool narrow = true;
    for (QChar c : value) {
        if (c.unicode() > 255) {
            narrow = false;
            break;
        }
    }
    const qsizetype length = 8 + value.size() * (narrow ? 1 : 2);
    if (length > kMaxRecord)
        return false;
    appendHeader(out, narrow ? kFieldRecord : kWideFieldRecord, length);
    out += field.GetCode().Bytes();
    for (QChar c : value) {
        out += char(c.unicode() & 0xFF);
        if (!narrow)
            out += char(c.unicode() >> 8);
    }
    return true;
}

}  // namespace

RegFile::RegFile(const QString& name)
{
    const QString folder = EngineFolder();
    if (folder.isEmpty()) {
        writable_ = false;
        return;
    }
    QString file = name;
    file.replace(u'\\', u'/');
    SetFilePath(folder + u'/' + file);
    if (!QFile::exists(path_)) {
        QFile created(path_);
        created.open(QIODevice::ReadWrite);
    }
}

RegFile::~RegFile() = default;

FieldList* RegFile::GetProductListAt(int i) const
{
    return i >= 0 && i < GetProductListCount() ? products_[size_t(i)].fields.get() : nullptr;
}

void RegFile::MergeFields(const FieldList& list)
{
    global_.Merge(list);
}

FieldList* RegFile::GetProductList(const FourCC& mfgr, const FourCC& prod)
{
    currentProd_ = prod;
    const QByteArray key = mfgr.Bytes() + prod.Bytes();
    if (const auto it = productIndex_.constFind(key); it != productIndex_.constEnd())
        return products_[size_t(*it)].fields.get();
    auto list = std::make_unique<FieldList>();
    list->SetField(kMfgr, codeText(mfgr));
    list->SetField(kProd, codeText(prod));
    productIndex_.insert(key, qsizetype(products_.size()));
    products_.push_back({key, std::move(list)});
    return products_.back().fields.get();
}

void RegFile::StoreProductFields(const FieldList& list)
{
    const Field* mfgr = list.Find(kMfgr);
    const Field* prod = list.Find(kProd);
    if (mfgr == nullptr || prod == nullptr)
        return;
    GetProductList(productCode(mfgr->GetValue()), productCode(prod->GetValue()))->Merge(list);
}

void RegFile::ReadExistingFields()
{
    if (!Exists())
        return;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // All of it: the reader takes whatever the writer wrote.
    const QByteArray data = file.readAll();
    file.close();
    Parse(data);
}

// Field lookups of one read: FieldList::Find walks the list, and a file of thousands of
// codes in one list would cost the square of its size. Each list is indexed at its first
// field record and kept up to date by this read alone.
class RegFile::ParseIndex {
public:
    void SetField(FieldList& list, const QByteArray& code, const QString& value)
    {
        auto [it, added] = lists_.try_emplace(&list);
        QHash<QByteArray, int>& nodes = it->second;
        if (added)
            for (int node = 0; node < list.GetCount(); ++node)
                nodes.insert(list.GetAtNode(node)->GetCode().Bytes(), node);
        if (const auto found = nodes.constFind(code); found != nodes.constEnd()) {
            list.GetAtNode(*found)->SetValue(value);
            return;
        }
        list.Append(FourCC::FromBytes(code), value);
        nodes.insert(code, list.GetCount() - 1);
    }

private:
    std::unordered_map<FieldList*, QHash<QByteArray, int>> lists_;
};

void RegFile::Parse(const QByteArray& data)
{
    ParseIndex index;
    FieldList* current = &global_;
    qsizetype at = 0;
    while (data.size() - at >= 4) {
        const qint16 type = readInt16(data, at);
        const qint16 length = readInt16(data, at + 2);
        if (length < 4 || length > data.size() - at)
            break;
        const QByteArray body = data.mid(at + 4, length - 4);
        // A body must be exactly what its type holds; anything else is skipped rather than
        // read past its end.
        switch (type) {
        case kFieldRecord:
            if (length >= 8)
                index.SetField(*current, body.left(4), QString::fromLatin1(body.mid(4)));
            break;
        case kWideFieldRecord:
            if (length >= 8 && (length - 8) % 2 == 0) {
                QString value;
                for (qsizetype i = 4; i + 1 < body.size(); i += 2)
                    value += QChar(char16_t(quint8(body[i]) | quint16(quint8(body[i + 1])) << 8));
                index.SetField(*current, body.left(4), value);
            }
            break;
        case kVersionRecord:
            if (length == 6)
                version_ = readInt16(body, 0);
            break;
        case kProductStart:
            if (length == 12)
                current = GetProductList(FourCC::FromBytes(body.left(4)), FourCC::FromBytes(body.mid(4, 4)));
            break;
        case kProductEnd:
            if (length == 4)
                current = &global_;
            break;
        case kLastProduct:
            if (length == 24)
                lastProd_ = FourCC::FromBytes(body.left(4));
            break;
        default: break;
        }
        at += length;
    }
}

bool RegFile::Serialize(QByteArray& out) const
{
    bool complete = true;
    out.clear();
    appendHeader(out, kVersionRecord, 6);
    appendInt16(out, kWrittenVersion);
    appendHeader(out, kLastProduct, 24);
    out += currentProd_.Bytes();
    out += QByteArray(16, '\0');
    for (const ProductList& list : products_) {
        if (list.fields->Find(kMfgr) == nullptr || list.fields->Find(kProd) == nullptr)
            continue;
        // Under the codes the list is known by, so that the next read finds each list again.
        appendHeader(out, kProductStart, 12);
        out += list.key;
        for (const auto& field : *list.fields)
            complete = appendField(out, *field) && complete;
        appendHeader(out, kProductEnd, 4);
    }
    for (const auto& field : global_)
        complete = appendField(out, *field) && complete;
    return complete;
}

bool RegFile::Save()
{
    if (!Exists() || !writable_)
        return false;
    QByteArray bytes;
    const bool complete = Serialize(bytes);
    // The window saves at every end, and a login that finds the registration done changes
    // nothing: the same bytes are not written (and flushed to the disk) again.
    if (QFile current(path_);
        current.open(QIODevice::ReadOnly) && current.size() == bytes.size() && current.readAll() == bytes)
        return complete;
    // A new file renamed over the old one: an interrupted save leaves the old prefs whole.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit() && complete;
}

}  // namespace engine
