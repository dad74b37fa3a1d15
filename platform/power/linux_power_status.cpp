#include "platform/power/linux_power_status.h"

#include <time.h>

#include "platform/power/power_supplies.h"
#include "platform/power/x11_display_power.h"

namespace platform {
namespace {

constexpr double kSupplyReadSeconds = 5.0;

double monotonic_seconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class LinuxPowerStatus final : public PowerStatus {
public:
    PowerState read() override {
        const double now = monotonic_seconds();
        if (!supplies_read_ || !(now - supplies_read_at_ < kSupplyReadSeconds)) {
            on_battery_ = power::runs_on_battery();
            supplies_read_ = true;
            supplies_read_at_ = now;
        }
        return PowerState{display_.dark(), on_battery_};
    }

private:
    power::X11DisplayPower display_;
    bool supplies_read_ = false;
    double supplies_read_at_ = 0.0;  // monotonic seconds of the last reading of the supplies
    bool on_battery_ = false;
};

}  // namespace

PowerStatus* make_linux_power_status() {
    static LinuxPowerStatus status;
    return &status;
}

}  // namespace platform
