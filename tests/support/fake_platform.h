// Every fake of the platform in one bundle, wired into a platform::Platform.
// The graphics system is created through the factory, which hands out the
// scripted `graphics` system (or none).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_glyph_rasterizer.h"
#include "tests/support/fake_graphics.h"
#include "tests/support/fake_instance_lock.h"
#include "tests/support/fake_power_status.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/fake_window_system.h"

namespace test_support {

class FakeGraphicsSystemFactory : public platform::GraphicsSystemFactory {
public:
    explicit FakeGraphicsSystemFactory(FakeGraphicsSystem* system) : system_(system) {}

    bool fails = false;                  // no graphics system on this machine
    std::vector<uint32_t> versions_asked;

    platform::GraphicsSystem* create(uint32_t version) override {
        versions_asked.push_back(version);
        return fails ? nullptr : system_;
    }

private:
    FakeGraphicsSystem* system_;
};

struct FakePlatform {
    FakeWindowSystem windows;
    FakeMessageBoxes message_boxes;
    FakeClock clock;
    FakeSettingsStore settings;
    FakeInstanceLock instance_lock;
    FakeGraphicsSystem graphics;
    FakeGraphicsSystemFactory graphics_factory{&graphics};
    FakeGlyphRasterizer glyphs;
    FakePowerStatus power;

    platform::Platform bundle() {
        return platform::Platform{&windows,       &message_boxes,    &clock,  &settings,
                                  &instance_lock, &graphics_factory, &glyphs, &power};
    }
};

}  // namespace test_support
