#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <utility>

namespace kelvo {

// Inline bytes with a length limit: the owned string of every fixed-capacity record.
template <std::size_t Capacity>
struct InlineBytes {
    static constexpr std::size_t capacity = Capacity;

    std::array<char, Capacity> bytes{};
    std::uint32_t length = 0;

    // Replaces the content; returns false (and leaves the content alone) when `text` does not fit.
    [[nodiscard]] bool assign(std::string_view text) {
        if (text.size() > Capacity) return false;
        if (!text.empty()) std::memmove(bytes.data(), text.data(), text.size());
        length = static_cast<std::uint32_t>(text.size());
        return true;
    }

    // Appends; returns false (and leaves the content alone) when the result would not fit.
    [[nodiscard]] bool append(std::string_view text) {
        if (text.size() > Capacity - length) return false;
        if (!text.empty()) std::memmove(bytes.data() + length, text.data(), text.size());
        length += static_cast<std::uint32_t>(text.size());
        return true;
    }

    void clear() { length = 0; }
    [[nodiscard]] std::string_view view() const { return {bytes.data(), length}; }
    [[nodiscard]] std::size_t size() const { return length; }
    [[nodiscard]] bool empty() const { return length == 0; }
    [[nodiscard]] const char* data() const { return bytes.data(); }
    [[nodiscard]] bool operator==(std::string_view other) const { return view() == other; }
};

// Puts a table record back to its initial values in place (records are too large to build as
// temporaries on the stack).
template <class Record>
void resetRecord(Record& record) {
    std::destroy_at(&record);
    std::construct_at(&record);
}

// A table of at most `Capacity` records kept packed from slot 0: removing a record moves every
// later record down one slot. It never allocates, and slots are reset in place, so no whole record
// is ever built on the stack.
template <class T, std::size_t Capacity>
struct FixedVec {
    static constexpr std::size_t capacity = Capacity;

    std::array<T, Capacity> items{};
    std::uint32_t count = 0;

    [[nodiscard]] std::size_t size() const { return count; }
    [[nodiscard]] bool empty() const { return count == 0; }
    [[nodiscard]] bool full() const { return count == Capacity; }

    T& operator[](std::size_t index) { return items[index]; }
    const T& operator[](std::size_t index) const { return items[index]; }

    T* begin() { return items.data(); }
    T* end() { return items.data() + count; }
    const T* begin() const { return items.data(); }
    const T* end() const { return items.data() + count; }

    std::span<T> span() { return {items.data(), count}; }
    std::span<const T> span() const { return {items.data(), count}; }

    T& back() { return items[count - 1]; }
    const T& back() const { return items[count - 1]; }

    // Appends a copy; returns a pointer to the new record, or null when the table is full.
    T* push(const T& value) {
        if (count == Capacity) return nullptr;
        items[count] = value;
        return &items[count++];
    }

    // Appends a value-initialised record; null when the table is full.
    T* pushDefault() {
        if (count == Capacity) return nullptr;
        resetRecord(items[count]);
        return &items[count++];
    }

    // Inserts before `index`, moving later records up; null when full or out of range.
    T* insertAt(std::size_t index, const T& value) {
        if (count == Capacity || index > count) return nullptr;
        for (std::size_t i = count; i > index; --i) items[i] = std::move(items[i - 1]);
        items[index] = value;
        ++count;
        return &items[index];
    }

    // Removes the record at `index`, moving every later record down one slot.
    void removeAt(std::size_t index) {
        if (index >= count) return;
        for (std::size_t i = index + 1; i < count; ++i) items[i - 1] = std::move(items[i]);
        --count;
        resetRecord(items[count]);
    }

    void popBack() {
        if (count == 0) return;
        --count;
        resetRecord(items[count]);
    }

    void clear() {
        for (std::size_t i = 0; i < count; ++i) resetRecord(items[i]);
        count = 0;
    }

    template <class Predicate>
    [[nodiscard]] std::ptrdiff_t findIndex(Predicate&& predicate) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (predicate(items[i])) return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    }
};

}  // namespace kelvo
