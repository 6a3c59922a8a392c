// The C++ interface's own workloads (cxx.cpp), registered next to the others.
#ifndef MORVANE_BENCH_CXX_H
#define MORVANE_BENCH_CXX_H

namespace bench {

// Registers cxx_append and bulk_load; `quick` picks small sizes.
void register_cxx(bool quick);

}  // namespace bench

#endif
