// The fuzz target: the fuzzer's bytes choose an operation sequence (the
// same sequences as the differential test draws at random) that runs on the
// library and on the model; any divergence aborts with the operations that
// led to it.
//
// The library's state is process-wide, so the harness lives as long as the
// process: after each input every table is freed and the error code and
// trace level are reset, while the registry stays, as it does in the
// library.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "harness.h"
#include "observe.h"
#include "sequence.h"
#include "source.h"

namespace {

constexpr int kMaxSteps = 300;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Harness &h = *new Harness;
    {
        observe::QuietStderr quiet;
        ByteSource source(data, size);
        Sequence sequence(source, h);
        for (int step = 0; step < kMaxSteps && !source.exhausted() && h.ok(); ++step) sequence.step();
        h.check_all_walks(size % 2 == 1);
        h.clear();
    }
    if (!h.ok()) {
        std::fprintf(stderr, "%s", h.failure().c_str());
        std::abort();
    }
    return 0;
}
