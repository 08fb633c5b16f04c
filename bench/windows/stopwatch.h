// Timing for the program's benchmarks under Wine.
#pragma once

#include <windows.h>

#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double mean(const std::vector<double>& times) {
  double sum = 0;
  for (double t : times) sum += t;
  return times.empty() ? 0 : sum / static_cast<double>(times.size());
}

}  // namespace bench
