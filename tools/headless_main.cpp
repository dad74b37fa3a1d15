// aquarium-headless: runs the screen saver's own code without a display.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/headless_commands.h"

namespace {

void print_usage() {
    std::fprintf(stderr,
                 "usage: aquarium-headless trace --seed S --steps N [--every K]\n"
                 "       aquarium-headless bench [--steps N] [--gl-frames N]\n"
                 "       aquarium-headless render --seed S --frames N --size WxH --out FILE.png\n"
                 "       aquarium-headless render --seed S --frames N --size WxH --every K --out-dir DIR\n");
}

// A command's figures or trace are its result: when they could not all be
// written (a full disk, a closed pipe), the command failed.
int finish_output(const char* command, int status) {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return status;
    std::fprintf(stderr, "aquarium-headless %s: cannot write the output: %s\n", command,
                 errno != 0 ? std::strerror(errno) : "write error");
    return status != 0 ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_usage();
        return 2;
    }
    if (std::strcmp(argv[1], "trace") == 0) return finish_output("trace", tools::run_trace(argc, argv));
    if (std::strcmp(argv[1], "bench") == 0) return finish_output("bench", tools::run_bench(argc, argv));
    if (std::strcmp(argv[1], "render") == 0) {
#if AQUARIUM_HEADLESS_RENDER
        return tools::run_render(argc, argv);
#else
        std::fprintf(stderr, "aquarium-headless: this build cannot render (no offscreen OpenGL)\n");
        return 2;
#endif
    }
    std::fprintf(stderr, "aquarium-headless: unknown command '%s'\n", argv[1]);
    print_usage();
    return 2;
}
