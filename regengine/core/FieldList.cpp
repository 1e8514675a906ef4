#include "regengine/core/FieldList.h"

namespace engine {

namespace {

const FourCC kItemCode("itcd");
const FourCC kRegisteredItems("rgit");

}  // namespace

FieldList::FieldList(const FieldList& other)
{
    Merge(other);
}

FieldList& FieldList::operator=(const FieldList& other)
{
    if (this != &other) {
        RemoveAll();
        Merge(other);
    }
    return *this;
}

FieldList::~FieldList() = default;

Field* FieldList::Find(const FourCC& code, qint16* position, int* node) const
{
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i]->GetCode() == code) {
            if (position != nullptr)
                *position = static_cast<qint16>(i + 1);
            if (node != nullptr)
                *node = int(i);
            return fields_[i].get();
        }
    }
    return nullptr;
}

void FieldList::SetField(const FourCC& code, const QString& value)
{
    if (Field* field = Find(code))
        field->SetValue(value);
    else
        fields_.push_back(std::make_unique<Field>(code, value));
}

void FieldList::Append(const FourCC& code, const QString& value)
{
    fields_.push_back(std::make_unique<Field>(code, value));
}

void FieldList::SetFieldFrom(const Field& field)
{
    SetField(field.GetCode(), field.GetValue());
}

QString FieldList::GetField(const FourCC& code) const
{
    const Field* field = Find(code);
    return field != nullptr ? field->GetValue() : QString();
}

void FieldList::Remove(const FourCC& code)
{
    int node = -1;
    if (Find(code, nullptr, &node) != nullptr)
        fields_.erase(fields_.begin() + node);
}

void FieldList::RemoveAll()
{
    fields_.clear();
}

void FieldList::Merge(const FieldList& other)
{
    // By index: merging a list into itself must not walk a vector that grows.
    const size_t count = other.fields_.size();
    for (size_t i = 0; i < count; ++i)
        SetFieldFrom(*other.fields_[i]);
}

void FieldList::MoveTo(qint16 from, qint16 to)
{
    const int count = GetCount();
    if (from < 1 || from > count || to < 1 || to > count || from == to)
        return;
    std::unique_ptr<Field> moving = std::move(fields_[size_t(from - 1)]);
    fields_.erase(fields_.begin() + (from - 1));
    // Inserting before the field now at `to`, or appending past the end, leaves it at `to`.
    fields_.insert(fields_.begin() + qMin<int>(to - 1, int(fields_.size())), std::move(moving));
}

void FieldList::OrderLike(const FieldList& other)
{
    qint16 i = 0;
    for (const auto& wanted : other.fields_) {
        qint16 position = 0;
        if (Find(wanted->GetCode(), &position) == nullptr)
            continue;
        ++i;
        if (position != i)
            MoveTo(position, i);
    }
}

Field* FieldList::GetAtNode(int node) const
{
    return node >= 0 && node < GetCount() ? fields_[size_t(node)].get() : nullptr;
}

// An empty item code names no item: it would add a 0 character to "rgit" and so mark
// something registered that never was.
bool FieldList::IsItemCodeInRegisteredSet(const FieldList* target) const
{
    const Field* item = Find(kItemCode);
    if (item == nullptr || item->GetValue().isEmpty())
        return false;
    const QChar c(char16_t(item->GetValue()[0].unicode() & 0xFF));
    const Field* registered = (target != nullptr ? target : this)->Find(kRegisteredItems);
    return registered != nullptr && registered->GetValue().contains(c);
}

void FieldList::AddItemCodeToRegisteredSet(FieldList* target)
{
    FieldList* list = target != nullptr ? target : this;
    const Field* item = Find(kItemCode);
    if (item == nullptr || item->GetValue().isEmpty() || IsItemCodeInRegisteredSet(list))
        return;
    if (Field* registered = list->Find(kRegisteredItems))
        registered->SetValue(registered->GetValue() + QChar(char16_t(item->GetValue()[0].unicode() & 0xFF)));
    else
        list->SetField(kRegisteredItems, item->GetValue());
}

}  // namespace engine
