// The compiler's builtins and attributes the library uses, behind one name
// each. GCC and Clang are the compilers the library builds with (CI builds
// both); these are their spellings. Private to the library.
#ifndef MORVANE_PLATFORM_COMPILER_H
#define MORVANE_PLATFORM_COMPILER_H

// Branch hints: the condition's expected truth value.
#define MORVANE_LIKELY(cond) __builtin_expect(!!(cond), 1)
#define MORVANE_UNLIKELY(cond) __builtin_expect(!!(cond), 0)

#define MORVANE_TEXT_(x) #x
#define MORVANE_TEXT(x) MORVANE_TEXT_(x)

namespace morvane::platform {

// Writes `line` to the diagnostic stream and ends the process abnormally
// when `holds` is false: for a broken rule after which nothing the library
// does can be trusted. Defined in platform/diag.cpp.
void diag_check(bool holds, const char *line) noexcept;

}  // namespace morvane::platform

// Checks `cond` in builds with assertions, as assert does: a false one
// writes "<file>:<line>: check failed: <cond>" and aborts. The one test is
// diag_check's, not one at every use (and in every instance of a template):
// the failing side runs only in a process that it ends.
#ifdef NDEBUG
#define MORVANE_CHECK(cond) ((void)0)
#else
#define MORVANE_CHECK(cond)                                                                    \
    ::morvane::platform::diag_check(static_cast<bool>(cond), __FILE__ ":" MORVANE_TEXT(__LINE__) \
                                    ": check failed: " #cond "\n")
#endif

// Lets the optimiser rely on `cond`, which the caller knows to hold; a
// debug build checks it instead.
#ifdef NDEBUG
#define MORVANE_ASSUME(cond)                  \
    do {                                      \
        if (!(cond)) MORVANE_UNREACHABLE();   \
    } while (0)
#else
#define MORVANE_ASSUME(cond) MORVANE_CHECK(cond)
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
