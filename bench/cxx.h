// The C++ interface's own workloads (cxx.cpp), registered next to the others.
#ifndef MORVANE_BENCH_CXX_H
#define MORVANE_BENCH_CXX_H

namespace bench {

// Registers cxx_append, bulk_load, cxx_find_run, cxx_find_distinct,
// cxx_append_equal and cxx_append_ascending; `quick` picks small sizes.
void register_cxx(bool quick);

}  // namespace bench

#endif
