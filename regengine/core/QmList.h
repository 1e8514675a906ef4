#pragma once

#include <concepts>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace engine {

// Shows "You are out of memory" and throws the engine's integer -1.
[[noreturn]] void QmListOutOfMemory();

// The engine's growable array. Items are values of T; a slot set past the count leaves the
// slots between reading as T{} (zero for numbers and pointers). A stored pointer's target is
// not owned; lists of owned objects store std::unique_ptr. Growing that fails shows the
// out-of-memory box and throws -1 with the list unchanged.
template <typename T>
class QmList {
public:
    QmList() = default;
    virtual ~QmList() = default;
    QmList(const QmList&) = default;
    QmList& operator=(const QmList&) = default;
    QmList(QmList&&) noexcept = default;
    QmList& operator=(QmList&&) noexcept = default;

    // Empties the list and gives its storage back.
    void Init() { std::vector<T>().swap(items_); }

    // Room for `need` items: the capacity grows by the grow step, or to `need` when that is
    // more.
    void Reserve(int need)
    {
        const auto capacity = items_.capacity();
        if (need <= 0 || capacity >= size_t(need))
            return;
        const size_t grown = capacity + size_t(kGrowStep);
        try {
            items_.reserve(grown > size_t(need) ? grown : size_t(need));
        } catch (const std::bad_alloc&) {
            QmListOutOfMemory();
        } catch (const std::length_error&) {
            QmListOutOfMemory();
        }
    }

    // Nothing for i < 0 (or an index whose count would not fit an int); else the item goes to
    // slot i and the count rises to i + 1 when lower.
    bool SetAt(int i, T item)
    {
        if (i < 0 || i == std::numeric_limits<int>::max())
            return false;
        Reserve(i + 1);
        if (size_t(i) < items_.size()) {
            items_[size_t(i)] = std::move(item);
        } else {
            items_.resize(size_t(i));
            items_.push_back(std::move(item));
        }
        return true;
    }
    bool Add(T item) { return SetAt(GetCount(), std::move(item)); }

    // A copy of slot i into `out`; false when out is null or i is outside 0..count - 1.
    bool GetAt(int i, T* out) const requires std::copy_constructible<T>
    {
        if (out == nullptr || i < 0 || i >= GetCount())
            return false;
        *out = items_[size_t(i)];
        return true;
    }
    // Slot i in place, or null.
    T* At(int i) { return i >= 0 && i < GetCount() ? &items_[size_t(i)] : nullptr; }
    const T* At(int i) const { return i >= 0 && i < GetCount() ? &items_[size_t(i)] : nullptr; }

    // Removes n items from i, cut to those there are; the items after them move down.
    void RemoveAt(int i, int n = 1)
    {
        if (items_.empty() || n <= 0 || i < 0 || i >= GetCount())
            return;
        if (n > GetCount() - i)
            n = GetCount() - i;
        items_.erase(items_.begin() + i, items_.begin() + i + n);
    }

    int GetCount() const { return int(items_.size()); }

    // Count 0, storage kept. The slots are destroyed, so nothing stale is left behind them.
    virtual void RemoveAll() { items_.clear(); }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.cbegin(); }
    auto end() const { return items_.cend(); }

    static constexpr int kGrowStep = 4;

protected:
    std::vector<T> items_;
};

}  // namespace engine
