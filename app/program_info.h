// What the program says about itself: --help prints how it is started and
// --version its version, and both end it, as users expect of a Linux
// program. They are looked for before anything else on the command line.
#pragma once

#include <cstdio>

namespace app {

enum class InfoRequest {
    none,
    help,     // --help, -help or -h as a whole argument
    version,  // --version or -version as a whole argument
};

// The first of them among argv[1] on; none when there is neither.
InfoRequest find_info_request(int argc, const char* const* argv);

// The usage text and the version line ("aquarium VERSION"). False when the
// text could not be written.
bool print_usage(std::FILE* out);
bool print_version(std::FILE* out);

// The version the build gives the program.
const char* program_version();

}  // namespace app
