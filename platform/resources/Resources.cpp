#include "platform/resources/Resources.h"

#include <QFile>
#include <QHash>

namespace platform {
namespace {

QString resourcePath(const QString& module, const QString& type, const QString& name)
{
    return QStringLiteral(":/%1/%2/%3").arg(module, type, name);
}

QString unescape(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar n = s[++i];
        if (n == u'n')
            out += u'\n';
        else if (n == u't')
            out += u'\t';
        else if (n == u'r')
            out += u'\r';
        else
            out += n;
    }
    return out;
}

// Tables are read once per module and kept for the process.
const QHash<int, QString>& stringTable(const QString& module)
{
    static QHash<QString, QHash<int, QString>> tables;
    auto it = tables.find(module);
    if (it != tables.end())
        return *it;
    QHash<int, QString> table;
    if (const auto data = findResource(module, QStringLiteral("STRINGS"), QStringLiteral("strings.txt"))) {
        const QString text = QString::fromUtf8(*data);
        for (QStringView line : QStringView(text).split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            const qsizetype tab = line.indexOf(u'\t');
            if (tab <= 0 || line.startsWith(u'#'))
                continue;
            bool ok = false;
            const int id = line.left(tab).toInt(&ok);
            if (ok)
                table.insert(id, unescape(line.mid(tab + 1)));
        }
    }
    return *tables.insert(module, table);
}

}  // namespace

std::optional<QByteArray> findResource(const QString& module, const QString& type, const QString& name)
{
    QFile f(resourcePath(module, type, name));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

std::optional<QByteArray> findLocalizedResource(const QString& module, const QString& type, const QString& name,
                                                const QString& language, QString* found)
{
    QStringList candidates{name + language};
    if (language.size() > 2)
        candidates << name + language.left(2);
    candidates << name + QStringLiteral("EN");
    for (const QString& candidate : candidates) {
        if (auto data = findResource(module, type, candidate)) {
            if (found)
                *found = candidate;
            return data;
        }
    }
    return std::nullopt;
}

QString loadString(const QString& module, int id)
{
    return stringTable(module).value(id);
}

bool hasString(const QString& module, int id)
{
    return stringTable(module).contains(id);
}

}  // namespace platform
