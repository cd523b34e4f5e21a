#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// An owning array of trivially copyable values whose allocation can fail without throwing.
// Large arrays come straight from the kernel, so a picture buffer costs no copy into a fresh heap
// arena and can use huge pages.
template <typename T> class HeapArray {
  public:
    HeapArray() = default;
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    HeapArray(HeapArray&& other) noexcept : data_(other.data_), count_(other.count_)
    {
        other.data_ = nullptr;
        other.count_ = 0;
    }
    HeapArray& operator=(HeapArray&& other) noexcept
    {
        if (this != &other) {
            release();
            data_ = other.data_;
            count_ = other.count_;
            other.data_ = nullptr;
            other.count_ = 0;
        }
        return *this;
    }
    ~HeapArray() { release(); }

    // Replaces the contents with count uninitialised values; false (and empty) when the memory
    // cannot be had or count * sizeof(T) overflows.
    bool allocate(std::size_t count);

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    std::span<T> span() { return {data_, count_}; }
    std::span<const T> span() const { return {data_, count_}; }

  private:
    void release();

    T* data_ = nullptr;
    std::size_t count_ = 0;
};

// Raw block allocation behind HeapArray; bytes == 0 gives nullptr.
void* allocateBytes(std::size_t bytes);
void freeBytes(void* block, std::size_t bytes);

// While true, the last large block freed is kept for the next large allocation that fits in it;
// false gives any kept block back at once. The picture store keeps one across an unload and the
// load that follows it, and lets go of it when the load ends.
void keepSpareBlock(bool keep);

template <typename T> bool HeapArray<T>::allocate(std::size_t count)
{
    release();
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, sizeof(T), &bytes)) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    void* block = allocateBytes(bytes);
    if (block == nullptr) {
        return false;
    }
    data_ = static_cast<T*>(block);
    count_ = count;
    return true;
}

template <typename T> void HeapArray<T>::release()
{
    if (data_ != nullptr) {
        freeBytes(data_, count_ * sizeof(T));
    }
    data_ = nullptr;
    count_ = 0;
}
