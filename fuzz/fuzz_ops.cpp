// The fuzz target: the input's bytes steer a sequence of calls checked
// against the host's view (tests/support/host.h), at trace level 0 and at
// level 3, whose results and positions must agree; a first byte below 64
// makes that call of the memory service fail. Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string log[2];
    for (int pass = 0; pass < 2; ++pass) {
        std::size_t at = 1;
        const Pick pick = [&](unsigned n) {
            unsigned v = 0;
            for (unsigned span = 1; span < n && at < size; span <<= 8) v = v << 8 | data[at++];
            return n ? v % n : 0;
        };
        try {
            log[pass] = run_sequence(pick, int(size / 4), pass * 3, size > 0 && data[0] < 64 ? data[0] + 1 : 0);
        } catch (const Mismatch &m) {
            std::fprintf(stderr, "level %d: %s\n", pass * 3, m.what());
            std::abort();
        }
    }
    if (log[0] != log[1]) std::fprintf(stderr, "levels 0 and 3 differ:\n%s\n---\n%s", log[0].c_str(), log[1].c_str());
    if (log[0] != log[1]) std::abort();
    return 0;
}
