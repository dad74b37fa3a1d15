// Small helpers for the options of aquarium-headless: `--name value` pairs
// with strict number parsing.
#pragma once

#include <cstdint>

namespace tools {

// Parses a whole decimal unsigned number no larger than max; false on
// anything else (empty, sign, trailing characters, overflow).
bool parse_unsigned(const char* text, uint64_t max, uint64_t& out);

// Walks argv from `first`; for each `--name value` calls handle(name, value),
// which returns false to reject it. Prints the problem and returns false on
// an unknown option, a missing value or a rejected value.
template <typename Handler>
bool parse_options(int argc, char** argv, int first, const char* command, Handler handle);

}  // namespace tools

#include "tools/headless_options_impl.h"
