#pragma once

#include <cstdio>
#include <cstring>

namespace tools {

template <typename Handler>
bool parse_options(int argc, char** argv, int first, const char* command, Handler handle) {
    for (int i = first; i < argc; i += 2) {
        const char* name = argv[i];
        if (std::strncmp(name, "--", 2) != 0) {
            std::fprintf(stderr, "aquarium-headless %s: unexpected argument '%s'\n", command, name);
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "aquarium-headless %s: option %s needs a value\n", command, name);
            return false;
        }
        if (!handle(name + 2, argv[i + 1])) {
            std::fprintf(stderr, "aquarium-headless %s: bad option %s %s\n", command, name, argv[i + 1]);
            return false;
        }
    }
    return true;
}

}  // namespace tools
