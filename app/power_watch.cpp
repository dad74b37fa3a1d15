#include "app/power_watch.h"

#include <cmath>

#include "app/render_app.h"

namespace app {

namespace {

// The frame timer's clock in seconds, as a double: a float would lose the
// thirtieth of a second after a day or so.
double clock_seconds(RenderApp& app) {
    const FrameTimer& timer = app.timer;
    if (timer.mode_chosen && timer.use_counter && timer.ticks_per_second > 0) {
        return static_cast<double>(app.platform.clock->query_performance_counter()) /
               static_cast<double>(timer.ticks_per_second);
    }
    return static_cast<double>(app.platform.clock->time_get_time()) * 1e-3;
}

// True when at least `seconds` passed from `then` to `now`; a clock that
// went back (the millisecond clock wraps after 49 days) counts as passed.
bool passed(double then, double now, double seconds) {
    const double since = now - then;
    return since < 0.0 || since >= seconds;
}

uint32_t milliseconds_until(double deadline, double now) {
    const double wait = std::ceil((deadline - now) * 1000.0);
    return wait < 1.0 ? 1u : static_cast<uint32_t>(wait);
}

void hold_time_while_dark(RenderApp& app, bool dark) {
    PowerWatch& watch = app.power;
    if (dark) {
        // A pause that ended meanwhile started the timer again.
        if (app.frame_moving && !app.timer.stopped) read_timer(app, kTimerStop);
        watch.holding_time = true;
        return;
    }
    if (!watch.holding_time) return;
    watch.holding_time = false;
    if (app.frame_moving) read_timer(app, kTimerStart);
    // The frame rate is measured afresh from the wake.
    app.frame_count = 0;
    app.last_stats_time = read_timer(app, kTimerAbsoluteTime);
}

}  // namespace

uint32_t wait_before_frame(RenderApp& app) {
    PowerWatch& watch = app.power;
    platform::PowerStatus* service = app.platform.power;
    if (service == nullptr) return 0;
    const double now = clock_seconds(app);
    if (!watch.asked || passed(watch.asked_at, now, kPowerReadSeconds)) {
        watch.state = service->read();
        watch.asked = true;
        watch.asked_at = now;
    }
    hold_time_while_dark(app, watch.state.display_dark);
    if (watch.state.display_dark) return milliseconds_until(watch.asked_at + kPowerReadSeconds, now);

    if (watch.state.on_battery && watch.frame_begun && !passed(watch.frame_at, now, kBatteryFrameSeconds)) {
        return milliseconds_until(watch.frame_at + kBatteryFrameSeconds, now);
    }
    watch.frame_begun = true;
    watch.frame_at = now;
    return 0;
}

}  // namespace app
