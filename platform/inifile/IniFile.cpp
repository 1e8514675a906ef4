#include "platform/inifile/IniFile.h"

#include "platform/text/Ascii.h"

#include <QFile>
#include <QStringDecoder>

namespace platform {
namespace {

QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        return decoder(bytes.mid(2));
    }
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString unquote(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

}  // namespace

std::optional<IniFile> IniFile::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr)
            *error = QStringLiteral("Unable to read the INI file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return parse(decode(file.readAll()));
}

IniFile IniFile::parse(const QString& text)
{
    IniFile ini;
    Section* current = nullptr;
    for (QStringView raw : QStringView(text).split(u'\n')) {
        const QString line = raw.trimmed().toString();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close < 0)
                continue;
            ini.sections_.push_back({line.mid(1, close - 1).trimmed(), {}});
            current = &ini.sections_.back();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current == nullptr || equals <= 0)
            continue;
        current->entries.emplace_back(line.left(equals).trimmed(), unquote(line.mid(equals + 1).trimmed()));
    }
    return ini;
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    for (const Section& s : sections_) {
        if (!asciiEqualsIgnoreCase(s.name, section))
            continue;
        for (const auto& [name, value] : s.entries) {
            if (asciiEqualsIgnoreCase(name, key))
                return value;
        }
        // A later section of the same name is not searched, as the profile functions do.
        return fallback;
    }
    return fallback;
}

QString readProfileString(const QString& path, const QString& section, const QString& key, const QString& fallback)
{
    const std::optional<IniFile> ini = IniFile::load(path);
    return ini ? ini->value(section, key, fallback) : fallback;
}

}  // namespace platform
