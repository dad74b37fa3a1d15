#include "sim/records.h"

#include <cstring>
#include <type_traits>

namespace sim {

static_assert(std::is_trivially_copyable_v<Creature>, "Creature is plain data");
static_assert(std::is_trivially_copyable_v<SimWorld>, "SimWorld is plain data");

void reset_records(Creature& creature, SimWorld& world) {
    std::memset(static_cast<void*>(&creature), 0, sizeof creature);
    std::memset(static_cast<void*>(&world), 0, sizeof world);
    world.step_dt = 1.0 / 60.0;
    world.step_rate = 60.0;
    world.first_step = 1;
    world.drag_linear = 120.0;
    world.manoeuvre_end = 1.0;
    world.manoeuvre_duration = 1.0;
    world.manoeuvre_a = 0.5;
    world.manoeuvre_b = 0.5;
    world.manoeuvre_c = 0.5;
    world.tail_sign = 1;
    world.tail_flip_armed = 1;
}

}  // namespace sim
