#pragma once
// An entry that keeps itself on a list while it lives: the list's remove(key) runs when the
// entry goes, is reset, or takes over another entry.
#include <utility>

namespace kest {

template <class List, class Key> class ListEntry {
public:
    ListEntry() = default;
    // The caller has put key on the list.
    ListEntry(List* list, Key key) : list_(list), key_(key) {}
    ListEntry(ListEntry&& other) noexcept
        : list_(std::exchange(other.list_, nullptr)), key_(other.key_) {}
    ListEntry& operator=(ListEntry&& other) noexcept {
        if (this != &other) {
            reset();
            list_ = std::exchange(other.list_, nullptr);
            key_ = other.key_;
        }
        return *this;
    }
    ListEntry(const ListEntry&) = delete;
    ListEntry& operator=(const ListEntry&) = delete;
    ~ListEntry() { reset(); }

    // Takes the key off the list now.
    void reset() {
        if (List* list = std::exchange(list_, nullptr))
            list->remove(key_);
    }

private:
    List* list_ = nullptr;
    Key key_{};
};

} // namespace kest
