// Any bytes as the record text of the printed form. Cutting it into chunks must keep every
// byte and never split a UTF-8 character of valid text; every chunk must encode; and a
// symbol of any size the first byte picks must hold only table patterns, or be refused when
// the bytes do not fit.
#include "regengine/print/Pdf417.h"
#include "regengine/print/RegistrationText.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <set>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

bool isValidUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 20000)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> chunks = engine::SplitUtf8Chunks(text, engine::kFormChunkBytes);
    QByteArray joined;
    for (const QByteArray& chunk : chunks) {
        check(!chunk.isEmpty() && chunk.size() <= engine::kFormChunkBytes, "chunk size");
        if (isValidUtf8(text))
            check(isValidUtf8(chunk), "a chunk splits a character");
        const engine::Pdf417Symbol symbol = engine::Pdf417EncodeText(
            chunk.constData(), std::size_t(chunk.size()), engine::kFormSymbolColumns, engine::kFormSymbolRows);
        check(symbol.IsValid(), "a chunk does not encode");
        joined += chunk;
    }
    check(joined == text, "chunks lose bytes");

    if (size < 1)
        return 0;
    const int columns = 1 + data[0] % 30;
    const int rows = 3 + (size > 1 ? data[1] % 88 : 0);
    const std::size_t length = size > 2 ? size - 2 : 0;
    const char* bytes = reinterpret_cast<const char*>(data) + (size > 2 ? 2 : size);
    const engine::Pdf417Symbol symbol = engine::Pdf417EncodeText(bytes, length, columns, rows);
    const bool roomy = columns * rows <= engine::kPdf417MaxCodeword &&
                       columns * rows - engine::Pdf417EcCount(engine::kPdf417Level) >= 2;
    const bool fits = roomy && engine::Pdf417ByteCapacity(columns, rows) >= length;
    check(symbol.IsValid() == fits, "refusal does not match the capacity");
    if (!symbol.IsValid())
        return 0;
    static const auto patterns = [] {
        std::array<std::set<std::uint32_t>, 3> sets;
        for (int k = 0; k < 3; ++k)
            for (int cw = 0; cw <= engine::kPdf417MaxCodeword; ++cw)
                sets[std::size_t(k)].insert(engine::Pdf417Pattern(3 * k, cw));
        return sets;
    }();
    check(symbol.width == 17 * columns + 69 && symbol.rows == rows, "symbol size");
    for (int r = 0; r < symbol.rows; ++r) {
        const int cluster = (r % 3) * 3;
        for (int c = 0; c < columns + 2; ++c) {
            std::uint32_t mask = 0;
            for (int m = 0; m < 17; ++m)
                mask = mask << 1 | (symbol.Dark(r, 17 * (c + 1) + m) ? 1u : 0u);
            check(patterns[std::size_t(cluster / 3)].count(mask) == 1, "a module pattern outside the table");
        }
    }
    return 0;
}
