#pragma once

#include <QByteArray>
#include <QString>

namespace engine {
class FieldList;
class QmStringList;
}  // namespace engine

namespace launcher {

// The private-prefs text file: "code:value" lines, each ending in CR LF, one byte per
// character (a character above 255 is written as "?"). With a list, one line per item
// (the item's first four characters are the code) with that page field's value, empty when
// missing; without one, only "SRNM".
QByteArray PrivatePrefsText(const engine::FieldList& pageFields, const engine::QmStringList* list);

// The file's name inside the engine folder, or empty when `name` could reach outside it
// (a folder part, ".."); one leading separator, as script names write it, is allowed.
QString PrivatePrefsFileName(const QString& name);

// Creates or empties the file `name` in the engine folder and writes the text. False,
// writing nothing, for an empty or unsafe name or a file that cannot be opened.
bool SavePrivatePrefs(const QString& name, const engine::FieldList& pageFields, const engine::QmStringList* list);

}  // namespace launcher
