#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace platform {

// A program's version strings, laid out as a Windows version resource holds them: each
// value sits at "\StringFileInfo\<language and code page>\<name>", for example
// "\StringFileInfo\040904b0\FileDescription". Paths compare without regard to case.
class VersionBlock {
public:
    // The translation the blocks made on this system use: US English, Unicode.
    static QString defaultTranslation() { return QStringLiteral("040904b0"); }

    void setString(const QString& translation, const QString& name, const QString& value);
    // The value at a full path; nullopt when the block has none there.
    std::optional<QString> queryValue(const QString& path) const;
    bool isEmpty() const { return values_.isEmpty(); }

private:
    QHash<QString, QString> values_;  // lower-cased path -> value
};

}  // namespace platform
