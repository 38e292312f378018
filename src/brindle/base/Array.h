#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// What Tarray::find answers when no element matches.
inline constexpr uint32_t kNotFound = ~0u;

// Growable contiguous array with a logical size (the elements in use) and a physical size (the
// elements allocated). Growth is at least the size increment and at least half the current
// capacity, so a run of appends stays linear however small the increment is; `pack` gives the
// spare capacity back. Elements are value types; the array never holds pointers into itself.
template <typename T>
class Tarray {
public:
    Tarray() = default;
    explicit Tarray(uint32_t increment) : fIncrement(increment ? increment : 1) {}

    // Sets the logical size to n (new elements value-initialised) and reserves at least n.
    void create(uint32_t n) { fData.assign(n, T()); }
    // Reserves room for n more elements beyond the logical size.
    void buffer(uint32_t n) { grow(size() + n); }
    void setSizeIncrement(uint32_t increment) { fIncrement = increment ? increment : 1; }
    uint32_t sizeIncrement() const { return fIncrement; }

    uint32_t size() const { return static_cast<uint32_t>(fData.size()); }
    uint32_t logicalSize() const { return size(); }
    uint32_t physicalSize() const { return static_cast<uint32_t>(fData.capacity()); }
    bool empty() const { return fData.empty(); }

    void changeLogicalSizeTo(uint32_t n) {
        grow(n);
        fData.resize(n);
    }
    void changeLogicalSizeBy(int32_t delta) { changeLogicalSizeTo(static_cast<uint32_t>(int64_t(size()) + delta)); }
    void clear() { fData.clear(); }
    void pack() { fData.shrink_to_fit(); }

    void addLast(const T& v) {
        if (fData.size() == fData.capacity()) grow(size() + 1);
        fData.push_back(v);
    }
    void append(const T* values, uint32_t n) {
        grow(size() + n);
        fData.insert(fData.end(), values, values + n);
    }
    void insertElement(uint32_t index, const T& v) {
        grow(size() + 1);
        fData.insert(fData.begin() + index, v);
    }
    void insert(uint32_t index, const T& v) { insertElement(index, v); }
    // Removes count elements from index on; later elements shift down.
    void removeAt(uint32_t index, uint32_t count = 1) {
        fData.erase(fData.begin() + index, fData.begin() + index + count);
    }
    void remove(uint32_t index, uint32_t count = 1) { removeAt(index, count); }
    void removeLast(uint32_t count = 1) { fData.resize(size() - std::min(count, size())); }
    // Index of the first element equal to v, or kNotFound.
    uint32_t find(const T& v) const {
        auto it = std::find(fData.begin(), fData.end(), v);
        return it == fData.end() ? kNotFound : static_cast<uint32_t>(it - fData.begin());
    }
    void catenate(const Tarray& other) { append(other.data(), other.size()); }
    void copy(const Tarray& other) { fData = other.fData; }
    void swap(Tarray& other) {
        fData.swap(other.fData);
        std::swap(fIncrement, other.fIncrement);
    }

    T& operator[](uint32_t i) { return fData[i]; }
    const T& operator[](uint32_t i) const { return fData[i]; }
    T& last() { return fData.back(); }
    const T& last() const { return fData.back(); }
    T* data() { return fData.data(); }
    const T* data() const { return fData.data(); }
    T* begin() { return fData.data(); }
    T* end() { return fData.data() + fData.size(); }
    const T* begin() const { return fData.data(); }
    const T* end() const { return fData.data() + fData.size(); }

    bool operator==(const Tarray& other) const { return fData == other.fData; }
    // Bytes held by the allocation, for memory accounting.
    size_t bytesAllocated() const { return fData.capacity() * sizeof(T); }

private:
    void grow(uint32_t need) {
        if (need <= fData.capacity()) return;
        size_t cap = fData.capacity();
        fData.reserve(std::max<size_t>({need, cap + fIncrement, cap + cap / 2}));
    }

    std::vector<T> fData;
    uint32_t fIncrement = 256;
};

// Arrays of objects with constructors use the same container.
template <typename T>
using TobjArray = Tarray<T>;

using TuInt32Array = Tarray<uint32_t>;
using Tint32Array = Tarray<int32_t>;
using TdoubleArray = Tarray<double>;
using TfloatArray = Tarray<float>;

// Sorted array of unique unsigned ids.
class TuInt32SortedArray : public Tarray<uint32_t> {
public:
    // Inserts v keeping the order; returns false when it was already present.
    bool insertSorted(uint32_t v) {
        uint32_t* it = std::lower_bound(begin(), end(), v);
        if (it != end() && *it == v) return false;
        insertElement(static_cast<uint32_t>(it - begin()), v);
        return true;
    }
    bool contains(uint32_t v) const { return std::binary_search(begin(), end(), v); }
};
