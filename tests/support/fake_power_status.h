// A power state the test sets; counts the questions. Allocates nothing.
#pragma once

#include <functional>

#include "platform/power_status.h"

namespace test_support {

class FakePowerStatus : public platform::PowerStatus {
public:
    platform::PowerState state{false, false};  // what read() answers: on, mains
    int reads = 0;
    // Called before each answer (a test may change `state` here).
    std::function<void()> on_read;

    platform::PowerState read() override {
        ++reads;
        if (on_read) on_read();
        return state;
    }
};

}  // namespace test_support
