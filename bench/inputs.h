#pragma once
// Inputs the benchmarks share: code strings and sources of a given size, the same in every run.

#include <cstddef>
#include <string>

namespace tessivor::bench {

/// A code string of `size` characters in the assembler's shapes (adds, tests, sets, labels)
/// with no end-if marker: the case that once made preparation quadratic.
std::string codeWithoutEndIf(std::size_t size);

/// Assembly source of about `size` bytes: instructions of every form, comments and texts.
std::string assemblySource(std::size_t size);

} // namespace tessivor::bench
