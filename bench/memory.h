// Memory accounting shared by every contestant: the library's blocks come
// through the host memory service this program defines (memory.cpp), the
// standard and third-party containers' through CountingAllocator. Both count
// the bytes asked for, so bytes per record compare like with like.
#ifndef MORVANE_BENCH_MEMORY_H
#define MORVANE_BENCH_MEMORY_H

#include <cstddef>
#include <new>

namespace bench {

// Bytes currently held by the library and by the counted containers.
std::size_t live_bytes() noexcept;
void count_alloc(std::size_t bytes) noexcept;
void count_free(std::size_t bytes) noexcept;

template <class T>
struct CountingAllocator {
    using value_type = T;

    CountingAllocator() noexcept = default;
    template <class U>
    CountingAllocator(const CountingAllocator<U> &) noexcept {}

    T *allocate(std::size_t n) {
        count_alloc(n * sizeof(T));
        return static_cast<T *>(::operator new(n * sizeof(T)));
    }
    void deallocate(T *p, std::size_t n) noexcept {
        count_free(n * sizeof(T));
        ::operator delete(p);
    }

    template <class U>
    bool operator==(const CountingAllocator<U> &) const noexcept { return true; }
    template <class U>
    bool operator!=(const CountingAllocator<U> &) const noexcept { return false; }
};

}  // namespace bench

#endif
