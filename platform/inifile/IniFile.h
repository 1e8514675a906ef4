#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace platform {

// An INI file as the private-profile functions read it: "[section]" lines, then
// "key=value" lines. Section and key names compare without regard to ASCII case, the first
// of a repeated name wins, blanks around names and values are dropped, and a value wrapped
// in one pair of double or single quotes loses them. Lines that are neither (comments
// after ";" included) are ignored. The text is UTF-8, or UTF-16 with a byte-order mark.
class IniFile {
public:
    // Nullopt, with `error` naming the file and the reason, when the file cannot be read.
    static std::optional<IniFile> load(const QString& path, QString* error = nullptr);
    static IniFile parse(const QString& text);

    // The value, or `fallback` when the section or the key is missing.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;

private:
    struct Section {
        QString name;
        std::vector<std::pair<QString, QString>> entries;
    };
    std::vector<Section> sections_;
};

// The private-profile read: the value of `key` in `section` of the file, or `fallback`
// when the file, the section or the key is missing.
QString readProfileString(const QString& path, const QString& section, const QString& key, const QString& fallback);

}  // namespace platform
