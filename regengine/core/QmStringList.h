#pragma once

#include "regengine/core/QmList.h"

#include <QString>

namespace engine {

class QmStrStream;

// A named list of texts, read from a LIST block or an inline list of a script line.
class QmStringList : public QmList<QString> {
public:
    QmStringList() = default;
    explicit QmStringList(const QString& name) : name_(name) {}
    // The LIST block: the name as one token, the rest of that line ignored, then one item per
    // line up to a line that begins with ">" (or the end of the text). Each line is read up
    // to 1000 characters with trailing blanks cut and "\x" escapes decoded; empty lines give
    // no item and a line of just "_" gives an empty one.
    explicit QmStringList(QmStrStream& script);

    // Appends a copy, empty texts included.
    void AddString(const QString& text) { Add(text); }
    // Appends a copy unless the text is empty; duplicates are kept.
    void AddText(const QString& text);
    // AddText for every item of `other`, in order.
    void Merge(const QmStringList& other);

    // The item, or null when i is out of range.
    const QString* GetItem(int i) const { return At(i); }
    // The item into `out`; false (out untouched) when absent.
    bool GetItemAsString(int i, QString& out) const;
    // The item cut so that it and a terminator fit in n characters; empty when absent.
    QString GetItemText(int i, int n) const;

    const QString& GetName() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // The inline list form of a script line: "( a , b )" with blanks around the items, or a
    // single token. Items are resolved as string-table references. A list without ")" ends
    // at the end of its line.
    void ReadItems(QmStrStream& stream);

private:
    QString name_;
};

}  // namespace engine
