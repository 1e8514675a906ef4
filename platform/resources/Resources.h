#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// Program resources live in the Qt resource system as ":/<module>/<TYPE>/<NAME>", for
// example ":/launcher/TEXT/PAGESEN" or ":/client/HTML/LOADING.HTML". Names compare as
// written; types are upper case.
std::optional<QByteArray> findResource(const QString& module, const QString& type, const QString& name);

// The localised lookup: name + language, then name + the language's first two letters,
// then name + "EN". `found` (optional) receives the name that matched.
std::optional<QByteArray> findLocalizedResource(const QString& module, const QString& type, const QString& name,
                                                const QString& language, QString* found = nullptr);

// The numbered string table of a module, ":/<module>/STRINGS/strings.txt": lines of
// "<id><TAB><text>" where the text may use \n, \t and \\. An unknown id gives an empty text.
QString loadString(const QString& module, int id);
bool hasString(const QString& module, int id);

}  // namespace platform
