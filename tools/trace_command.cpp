// `aquarium-headless trace --seed S --steps N [--every K]`: builds the scene
// from seed S and advances N frames through the frame-move work, printing
// the creature's state as CSV after every K-th frame.
#include <cstdio>
#include <cstring>
#include <memory>

#include "sim/scene_setup.h"
#include "sim/records.h"
#include "sim/scheduling.h"
#include "tools/headless_options.h"
#include "tools/headless_commands.h"

namespace tools {

namespace {

constexpr uint64_t kMaxSteps = 1000000000ull;

void print_row(const sim::Creature& c, const sim::SimWorld& w, uint64_t step) {
    sim::Vec3 tail;
    sim::mat3_mul_vec(tail, c.rotation, c.spine_pt[sim::kSpinePoints - 1]);
    sim::vec_add(tail, c.position, tail);
    std::printf(
        "%llu,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,"
        "%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%d,%d,%.17g,%.17g,%.17g\n",
        static_cast<unsigned long long>(step), w.sim_time, c.position.x, c.position.y, c.position.z,
        c.orientation.w, c.orientation.x, c.orientation.y, c.orientation.z, c.velocity.x,
        c.velocity.y, c.velocity.z, c.angular_momentum.x, c.angular_momentum.y,
        c.angular_momentum.z, c.head_pt.x, c.head_pt.y, c.head_pt.z, tail.x, tail.y, tail.z,
        static_cast<int>(w.manoeuvre), static_cast<int>(w.hist_pos), c.swim_target.x,
        c.swim_target.y, c.swim_target.z);
}

}  // namespace

int run_trace(int argc, char** argv) {
    uint64_t seed = 0, steps = 0, every = 1;
    bool have_seed = false, have_steps = false;
    const bool ok = parse_options(argc, argv, 2, "trace", [&](const char* name, const char* value) {
        if (std::strcmp(name, "seed") == 0) return have_seed = parse_unsigned(value, 0xFFFFFFFFull, seed);
        if (std::strcmp(name, "steps") == 0) return have_steps = parse_unsigned(value, kMaxSteps, steps);
        if (std::strcmp(name, "every") == 0) return parse_unsigned(value, kMaxSteps, every) && every > 0;
        return false;
    });
    if (!ok || !have_seed || !have_steps) {
        std::fprintf(stderr, "usage: aquarium-headless trace --seed S --steps N [--every K]\n");
        return 2;
    }

    auto creature = std::make_unique<sim::Creature>();
    auto world = std::make_unique<sim::SimWorld>();
    sim::reset_records(*creature, *world);
    sim::setup_scene(*creature, *world, static_cast<uint32_t>(seed));

    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::printf("step,time,px,py,pz,qw,qx,qy,qz,vx,vy,vz,lx,ly,lz,hx,hy,hz,ex,ey,ez,manoeuvre,hist_pos,tx,ty,tz\n");
    for (uint64_t k = 1; k <= steps; ++k) {
        const float app_time = static_cast<float>(static_cast<double>(k) / 60.0);
        sim::advance_frame(*creature, *world, app_time);
        if (k % every == 0) {
            print_row(*creature, *world, k);
        }
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}

}  // namespace tools
