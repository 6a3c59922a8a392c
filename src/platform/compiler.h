// The compiler's builtins and attributes the library uses, behind one name
// each. GCC and Clang are the compilers the library builds with (CI builds
// both); these are their spellings. Private to the library.
#ifndef MORVANE_PLATFORM_COMPILER_H
#define MORVANE_PLATFORM_COMPILER_H

#include <cassert>

// Branch hints: the condition's expected truth value.
#define MORVANE_LIKELY(cond) __builtin_expect(!!(cond), 1)
#define MORVANE_UNLIKELY(cond) __builtin_expect(!!(cond), 0)

// Lets the optimiser rely on `cond`, which the caller knows to hold; a
// debug build checks it instead.
#ifdef NDEBUG
#define MORVANE_ASSUME(cond)                  \
    do {                                      \
        if (!(cond)) MORVANE_UNREACHABLE();   \
    } while (0)
#else
#define MORVANE_ASSUME(cond) assert(cond)
#endif

// Marks a place the program cannot reach.
#define MORVANE_UNREACHABLE() __builtin_unreachable()

// Starts loading the cache line at `addr` for a read.
#define MORVANE_PREFETCH(addr) __builtin_prefetch(addr)

// The number of zero bits below the lowest set bit of a nonzero 64-bit
// value.
#define MORVANE_CTZ64(x) __builtin_ctzll(x)

// A vector type of `bytes` bytes, held in one vector register where the
// target has them.
#define MORVANE_VECTOR(bytes) __attribute__((vector_size(bytes)))

namespace morvane::platform {

// x > y ? a : b, without a branch: a conditional move where the target has
// one, so that an unpredictable comparison costs no misprediction.
template <typename T>
inline T select_if_greater(int x, int y, T a, T b) noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __asm__("cmp %[y], %[x]\n\tcmovg %[a], %[b]" : [b] "+r"(b) : [a] "r"(a), [x] "r"(x), [y] "r"(y) : "cc");
    return b;
#else
    return x > y ? a : b;
#endif
}

}  // namespace morvane::platform

// Keeps a rarely taken path out of its caller, or a small one in it.
#define MORVANE_NOINLINE __attribute__((noinline))
#define MORVANE_ALWAYS_INLINE inline __attribute__((always_inline))

// printf-style checking of a function's format (1-based argument positions).
#define MORVANE_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))

// A declaration the dynamic linker may leave unresolved (then null).
#define MORVANE_WEAK __attribute__((weak))

#endif
