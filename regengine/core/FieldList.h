#pragma once

#include "regengine/core/Field.h"

#include <memory>
#include <vector>

namespace engine {

// The registration record: an ordered list of fields that owns them. Codes stay unique as
// long as fields come in through SetField and what is built on it.
class FieldList {
public:
    FieldList() = default;
    // An empty list, then Merge with `other`.
    FieldList(const FieldList& other);
    FieldList& operator=(const FieldList& other);
    FieldList(FieldList&&) noexcept = default;
    FieldList& operator=(FieldList&&) noexcept = default;
    ~FieldList();

    // The first field with the code, or null. `position` receives its 1-based position and
    // `node` its 0-based index (both only when found).
    Field* Find(const FourCC& code, qint16* position = nullptr, int* node = nullptr) const;
    // Sets the value of the field with the code in place, or appends a new field at the tail.
    void SetField(const FourCC& code, const QString& value);
    void SetFieldFrom(const Field& field);
    // Appends a field without looking for its code: for a reader that knows it is new.
    void Append(const FourCC& code, const QString& value);
    // The value of the field with the code, or an empty text.
    QString GetField(const FourCC& code) const;
    // Removes the first field with the code.
    void Remove(const FourCC& code);
    void RemoveAll();
    // SetField for every field of `other`, in its order: existing codes change in place, new
    // ones are appended.
    void Merge(const FieldList& other);

    // Moves the field at 1-based position `from` so that it ends at `to`; the others keep
    // their order. Nothing unless both are within 1..count and differ.
    void MoveTo(qint16 from, qint16 to);
    // Puts the fields that `other` also holds first, in other's order; the rest follow in
    // their previous order.
    void OrderLike(const FieldList& other);

    int GetCount() const { return int(fields_.size()); }
    bool IsEmpty() const { return fields_.empty(); }
    // The field at a 0-based index (a node from Find), or null.
    Field* GetAtNode(int node) const;

    // Registered item codes: "itcd" holds this registration's item code, "rgit" the letters
    // of the items already registered. This list is the source; the target defaults to it.
    bool IsItemCodeInRegisteredSet(const FieldList* target = nullptr) const;
    // Appends the first letter of "itcd" to the target's "rgit" unless it is there already;
    // a target without "rgit" gets it with the whole "itcd" value.
    void AddItemCodeToRegisteredSet(FieldList* target = nullptr);

    auto begin() const { return fields_.cbegin(); }
    auto end() const { return fields_.cend(); }

private:
    std::vector<std::unique_ptr<Field>> fields_;
};

}  // namespace engine
