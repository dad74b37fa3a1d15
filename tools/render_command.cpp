// `aquarium-headless render --seed S --frames N --size WxH --out FILE.png`
// (or `--every K --out-dir DIR` instead of --out): runs the program
// offscreen and writes the last frame, or every K-th frame, as PNG files.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/headless_options.h"
#include "tools/headless_commands.h"
#include "tools/headless_render.h"
#include "tools/png_file.h"

namespace tools {

namespace {

constexpr uint64_t kMaxFrames = 100000000ull;
constexpr uint64_t kMaxSide = 8192;  // pixels
constexpr size_t kPathCapacity = 4096;

void print_usage() {
    std::fprintf(stderr,
                 "usage: aquarium-headless render --seed S --frames N --size WxH --out FILE.png [--info on|off]\n"
                 "       aquarium-headless render --seed S --frames N --size WxH --every K --out-dir DIR [--info on|off]\n");
}

// "WxH" with both sides from 1 to kMaxSide.
bool parse_size(const char* text, uint32_t& width, uint32_t& height) {
    const char* x = std::strchr(text, 'x');
    if (x == nullptr || x - text >= 16) return false;
    char first[16];
    std::memcpy(first, text, static_cast<size_t>(x - text));
    first[x - text] = '\0';
    uint64_t w = 0, h = 0;
    if (!parse_unsigned(first, kMaxSide, w) || !parse_unsigned(x + 1, kMaxSide, h) || w == 0 || h == 0) return false;
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

struct Output {
    const char* file;       // --out: the last frame
    const char* directory;  // --out-dir: every K-th frame
};

bool write_frame(void* context, uint64_t frame, const uint8_t* rgba, uint32_t width, uint32_t height) {
    const Output& out = *static_cast<const Output*>(context);
    char path[kPathCapacity];
    if (out.directory != nullptr) {
        const int n = std::snprintf(path, sizeof path, "%s/frame_%06llu.png", out.directory,
                                    static_cast<unsigned long long>(frame));
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
            std::fprintf(stderr, "aquarium-headless render: cannot write into %s: the path is too long\n",
                         out.directory);
            return false;
        }
    } else {
        std::snprintf(path, sizeof path, "%s", out.file);
    }
    const int error = write_png(path, rgba, width, height);
    if (error == kNotARegularFile) {
        std::fprintf(stderr, "aquarium-headless render: cannot write %s: it is not a regular file (left alone)\n",
                     path);
        return false;
    }
    if (error != 0) {
        std::fprintf(stderr, "aquarium-headless render: cannot write %s: %s\n", path, std::strerror(error));
        return false;
    }
    return true;
}

}  // namespace

int run_render(int argc, char** argv) {
    uint64_t seed = 0, frames = 0, every = 0;
    uint32_t width = 0, height = 0;
    bool have_seed = false, have_frames = false, have_size = false, show_info = true;
    Output out{nullptr, nullptr};
    const bool ok = parse_options(argc, argv, 2, "render", [&](const char* name, const char* value) {
        if (std::strcmp(name, "seed") == 0) return have_seed = parse_unsigned(value, 0xFFFFFFFFull, seed);
        if (std::strcmp(name, "frames") == 0)
            return have_frames = parse_unsigned(value, kMaxFrames, frames) && frames > 0;
        if (std::strcmp(name, "size") == 0) return have_size = parse_size(value, width, height);
        if (std::strcmp(name, "every") == 0) return parse_unsigned(value, kMaxFrames, every) && every > 0;
        if (std::strcmp(name, "out") == 0) return (out.file = value)[0] != '\0';
        if (std::strcmp(name, "out-dir") == 0) return (out.directory = value)[0] != '\0';
        if (std::strcmp(name, "info") == 0) {
            show_info = std::strcmp(value, "on") == 0;
            return show_info || std::strcmp(value, "off") == 0;
        }
        return false;
    });
    // Either one picture (--out) or a series (--every with --out-dir).
    const bool one_picture = out.file != nullptr && out.directory == nullptr && every == 0;
    const bool series = out.file == nullptr && out.directory != nullptr && every > 0;
    if (!ok || !have_seed || !have_frames || !have_size || !(one_picture || series)) {
        print_usage();
        return 2;
    }

    const HeadlessRenderOptions options{static_cast<uint32_t>(seed), frames, width, height, every, show_info};
    return platform::succeeded(run_headless_render(options, &write_frame, &out)) ? 0 : 1;
}

}  // namespace tools
