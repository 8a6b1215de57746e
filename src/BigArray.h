#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

// Memory for the planet's large arrays, straight from the kernel: its pages
// come zeroed, so nothing is zero-filled twice, and they are faulted in
// before use with one call per huge page instead of one fault per 4 KiB page,
// by two threads for large blocks. Huge pages where the kernel gives them
// quickly, small pages otherwise.

// Bytes of a huge page; blocks from this size on start at a huge page
// boundary and are advised for huge pages.
constexpr std::size_t HUGE_PAGE_BYTES = std::size_t(2) << 20;

// bytes (> 0) of zeroed, writable memory, faulted in. Throws std::bad_alloc
// when the address space or the memory cannot be had.
void* allocateBigBlock(std::size_t bytes);

// Gives back a block of allocateBigBlock with the same byte count.
void releaseBigBlock(void* block, std::size_t bytes) noexcept;

// A fixed-size array of count elements of a trivial type in a big block.
// Elements start as zero bits. Movable, not copyable: a copy of the planet's
// land is tens of megabytes and is made only by converting to std::vector.
template <class T>
class BigArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>,
                  "elements live in raw pages");

public:
    using value_type = T;
    using size_type = std::size_t;
    using reference = T&;
    using const_reference = const T&;
    using iterator = T*;
    using const_iterator = const T*;

    BigArray() noexcept = default;

    // Throws std::bad_alloc when count elements do not fit the address
    // space or the memory.
    explicit BigArray(std::size_t count) : count(count)
    {
        if (count == 0)
            return;
        if (count > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        // An array of bytes placed on the storage implicitly creates the
        // elements.
        elements = reinterpret_cast<T*>(::new (allocateBigBlock(count * sizeof(T))) std::byte[count * sizeof(T)]);
    }

    BigArray(BigArray&& other) noexcept
        : elements(std::exchange(other.elements, nullptr)), count(std::exchange(other.count, 0))
    {
    }

    BigArray& operator=(BigArray&& other) noexcept
    {
        if (this != &other) {
            release();
            elements = std::exchange(other.elements, nullptr);
            count = std::exchange(other.count, 0);
        }
        return *this;
    }

    BigArray(const BigArray&) = delete;
    BigArray& operator=(const BigArray&) = delete;
    ~BigArray() { release(); }

    // A copy, for code that keeps the elements in a vector.
    explicit operator std::vector<T>() const { return std::vector<T>(begin(), end()); }

    T* data() noexcept { return elements; }
    const T* data() const noexcept { return elements; }
    std::size_t size() const noexcept { return count; }
    bool empty() const noexcept { return count == 0; }
    T& operator[](std::size_t i) noexcept { return elements[i]; }
    const T& operator[](std::size_t i) const noexcept { return elements[i]; }
    T* begin() noexcept { return elements; }
    T* end() noexcept { return elements + count; }
    const T* begin() const noexcept { return elements; }
    const T* end() const noexcept { return elements + count; }

    // Element by element, as std::vector compares.
    friend bool operator==(const BigArray& a, const BigArray& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const BigArray& a, const std::vector<T>& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    void release() noexcept
    {
        if (elements)
            releaseBigBlock(elements, count * sizeof(T));
        elements = nullptr;
        count = 0;
    }

    T* elements = nullptr;
    std::size_t count = 0;
};
