// Any bytes as a prefs file: read, saved and read again, the same records come back (every
// product list with its fields, the global list), unless a value was too long to be saved.
#include "regengine/core/RegFile.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace engine;

namespace {

QStringList dump(const RegFile& file)
{
    QStringList out;
    auto list = [&out](const FieldList& fields, const QString& name) {
        out << name;
        for (const auto& field : fields)
            out << QString::fromLatin1(field->GetCode().Bytes().toHex()) + u'=' + field->GetValue();
    };
    for (int i = 0; i < file.GetProductListCount(); ++i)
        list(*file.GetProductListAt(i), QStringLiteral("product %1").arg(i));
    list(const_cast<RegFile&>(file).GetFieldList(), QStringLiteral("global"));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir* home = [] {
        auto* dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/prefs-fuzz-XXXXXX"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path()));
        return dir;
    }();
    (void)home;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    RegFile first;
    first.Parse(bytes);
    QByteArray saved;
    if (!first.Serialize(saved))
        return 0;
    RegFile second;
    second.Parse(saved);
    const QStringList before = dump(first);
    const QStringList after = dump(second);
    if (before != after) {
        std::fprintf(stderr, "read, save, read changed the records:\n%s\n---\n%s\n", qPrintable(before.join(u'\n')),
                     qPrintable(after.join(u'\n')));
        std::abort();
    }
    return 0;
}
