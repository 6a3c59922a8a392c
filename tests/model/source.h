// Where the choices of an operation sequence come from: a seeded generator
// for the differential test, or the fuzzer's bytes.
#ifndef MORVANE_TESTS_MODEL_SOURCE_H
#define MORVANE_TESTS_MODEL_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>

class Source {
public:
    virtual ~Source() = default;
    // A value in [0, bound), bound at least 1.
    virtual std::uint32_t below(std::uint32_t bound) = 0;
    // True when no more choices can be made (the fuzzer's bytes are used up).
    virtual bool exhausted() const { return false; }

    bool chance(std::uint32_t percent) { return below(100) < percent; }
    int pick(std::initializer_list<int> values) {
        return values.begin()[below(static_cast<std::uint32_t>(values.size()))];
    }
    int range(int low, int high) {  // [low, high]
        return low + static_cast<int>(below(static_cast<std::uint32_t>(high - low + 1)));
    }
    std::uint32_t bits32() {
        const std::uint32_t high = below(0xFFFFu + 1);
        return high << 16 | below(0xFFFFu + 1);
    }
};

// mt19937 with an explicit reduction: the same sequence everywhere.
class RandomSource : public Source {
public:
    explicit RandomSource(std::uint32_t seed) : rng_(seed) {}
    std::uint32_t below(std::uint32_t bound) override {
        return static_cast<std::uint32_t>(rng_() % bound);
    }

private:
    std::mt19937 rng_;
};

// Takes one byte for a choice among at most 256, two for up to 65536, four
// otherwise; zero once the bytes are used up.
class ByteSource : public Source {
public:
    ByteSource(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t below(std::uint32_t bound) override {
        const int bytes = bound <= 0x100u ? 1 : (bound <= 0x10000u ? 2 : 4);
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | (pos_ < size_ ? data_[pos_++] : 0u);
        return v % bound;
    }
    bool exhausted() const override { return pos_ >= size_; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

#endif
