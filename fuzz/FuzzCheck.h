#pragma once
// A failed check in a fuzz target aborts, so that libFuzzer keeps the input
// that broke it; unlike assert it also holds in release builds.
#include <cstdlib>

namespace kwo::fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace kwo::fuzz
