#pragma once

#include "regengine/core/FourCC.h"
#include "regengine/core/QmList.h"
#include "regengine/core/QmStringList.h"

#include <QString>

namespace engine {

class QmStrStream;

// A numbered string table of the page script, selected by its tag and language. Entries keep
// the order of the script lines; numbers need not be unique.
class QmStringTable {
public:
    QmStringTable(const FourCC& tag, const FourCC& language);

    // The STRINGTABLE block after its keyword: tag and language words, the rest of that line
    // dropped, then lines of a decimal number and a text up to a line that begins with ">".
    // The table is registered with the global manager before its entries are read and is
    // owned by it. Lines without a leading number, and lines too long to read, are skipped.
    static QmStringTable* CreateFromScript(QmStrStream& stream);

    FourCC GetTag() const { return tag_; }
    FourCC GetLanguage() const { return language_; }
    int GetCount() const { return numbers_.GetCount(); }

    void AddEntry(qint32 number, const QString& text);
    // The position of the last entry numbered n, or -1.
    int IndexOf(qint32 n) const;
    // The text of that entry, or null.
    const QString* GetString(qint32 n) const;
    // The text at 0-based position i, or null.
    const QString* GetStringAt(int i) const { return strings_.GetItem(i); }

private:
    void ReadEntries(QmStrStream& stream);

    FourCC tag_;
    FourCC language_;
    QmList<qint32> numbers_;
    QmStringList strings_;
};

}  // namespace engine
