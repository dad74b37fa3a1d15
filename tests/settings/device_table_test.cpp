// The device table against the scripted graphics system: which adapters,
// devices and modes are kept, the start-up choice and its warnings, the
// capacities, and applying saved device settings.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "settings/device_table.h"
#include "settings/saved_device_choice.h"
#include "tests/support/fake_graphics.h"

namespace {

using platform::DisplayMode;
using platform::Format;
using settings::DeviceTable;
using test_support::FakeAdapter;
using test_support::FakeGraphicsSystem;

// The application's capability test: no pure device; alpha in textures or palettes.
struct CapsCheck {
    std::vector<uint32_t> behaviours;  // asked, in order
    bool accept_all = false;

    static platform::Result check(void* context, const platform::DeviceCaps& caps, uint32_t behaviour, Format) {
        CapsCheck& self = *static_cast<CapsCheck*>(context);
        self.behaviours.push_back(behaviour);
        if (self.accept_all) return platform::kOk;
        if (behaviour & platform::kCreatePureDevice) return platform::kFail;
        return (caps.texture_caps & (platform::kTextureCapsAlphaPalette | platform::kTextureCapsAlpha)) != 0
                   ? platform::kOk
                   : platform::kFail;
    }
};

class DeviceTableTest : public ::testing::Test {
protected:
    platform::Result build(uint32_t screen_width = 1024, uint32_t screen_height = 768) {
        settings::DeviceTableRequest request{};
        request.graphics = &graphics;
        request.check_device_caps = &CapsCheck::check;
        request.check_context = &caps_check;
        request.use_depth_buffer = use_depth_buffer;
        request.min_depth_bits = 16;
        request.min_stencil_bits = 0;
        request.screen_width = screen_width;
        request.screen_height = screen_height;
        return settings::build_device_table(*table, request, windowed, warning);
    }

    const settings::DeviceRecord& device(uint32_t adapter, uint32_t d) { return table->adapters[adapter].devices[d]; }

    std::vector<std::string> mode_texts(const settings::DeviceRecord& d) {
        std::vector<std::string> out;
        for (uint32_t m = 0; m < d.mode_count; ++m) {
            out.push_back(std::to_string(d.modes[m].format) + ":" + std::to_string(d.modes[m].width) + "x" +
                          std::to_string(d.modes[m].height));
        }
        return out;
    }

    FakeGraphicsSystem graphics;
    CapsCheck caps_check;
    bool use_depth_buffer = true;
    std::unique_ptr<DeviceTable> table = std::make_unique<DeviceTable>();
    bool windowed = false;
    platform::Result warning = -1;
};

TEST_F(DeviceTableTest, TypicalAdapterGivesHalAndRefWithSortedModesAndTheDesktopModeCurrent) {
    graphics.adapters.push_back(test_support::typical_adapter());
    ASSERT_EQ(build(), platform::kOk);
    ASSERT_EQ(table->adapter_count, 1u);
    const settings::AdapterRecord& adapter = table->adapters[0];
    EXPECT_STREQ(adapter.identifier.description, "Fake Display Adapter");
    ASSERT_EQ(adapter.device_count, 2u);
    EXPECT_EQ(adapter.devices[0].device_type, platform::kDeviceHal);
    EXPECT_STREQ(adapter.devices[0].description, "HAL");
    EXPECT_EQ(adapter.devices[1].device_type, platform::kDeviceRef);
    EXPECT_STREQ(adapter.devices[1].description, "REF");
    EXPECT_EQ(mode_texts(adapter.devices[0]),
              (std::vector<std::string>{"23:640x480", "23:800x600", "23:1024x768", "22:640x480", "22:800x600",
                                        "22:1024x768"}));
    EXPECT_EQ(adapter.devices[0].current_mode, 5u);
    // Formats compare as signed numbers.
    EXPECT_EQ(settings::compare_display_modes({640, 480, 0, 0x80000000u}, {640, 480, 0, 23}), 1);
    EXPECT_EQ(adapter.devices[0].modes[5].behaviour, platform::kCreateHardwareVertexProcessing);
    EXPECT_EQ(adapter.devices[0].modes[5].depth_format, platform::kFormatD16);
    EXPECT_TRUE(adapter.devices[0].can_render_windowed);
    EXPECT_TRUE(adapter.devices[0].windowed);
    EXPECT_EQ(table->current_adapter, 0u);
    EXPECT_EQ(adapter.current_device, 0u);
    EXPECT_TRUE(windowed);
    EXPECT_EQ(warning, 0);
}

TEST_F(DeviceTableTest, StartUpModePrefers32BitsThen16Bits) {
    FakeAdapter a = test_support::typical_adapter();
    a.modes.push_back(DisplayMode{1024, 768, 60, platform::kFormatA8R8G8B8});
    a.modes.push_back(DisplayMode{1280, 1024, 60, platform::kFormatA1R5G5B5});
    graphics.adapters.push_back(a);
    ASSERT_EQ(build(), platform::kOk);
    // A8R8G8B8 (21) sorts after X8R8G8B8 (22): the first 32-bit mode found wins.
    const settings::DeviceRecord& hal = device(0, 0);
    EXPECT_EQ(hal.modes[hal.current_mode].format, platform::kFormatX8R8G8B8);
    EXPECT_EQ(hal.modes[hal.current_mode].width, 1024u);

    ASSERT_EQ(build(1280, 1024), platform::kOk);
    EXPECT_EQ(device(0, 0).modes[device(0, 0).current_mode].format, platform::kFormatA1R5G5B5);

    // No desktop-sized mode: mode 0.
    ASSERT_EQ(build(1920, 1080), platform::kOk);
    EXPECT_EQ(device(0, 0).current_mode, 0u);
}

TEST_F(DeviceTableTest, SmallModesAndRefreshRatesAreLeftOut) {
    FakeAdapter a = test_support::typical_adapter();
    a.modes = {DisplayMode{640, 480, 60, platform::kFormatX8R8G8B8}, DisplayMode{640, 480, 75, platform::kFormatX8R8G8B8},
               DisplayMode{639, 480, 60, platform::kFormatX8R8G8B8}, DisplayMode{640, 399, 60, platform::kFormatX8R8G8B8},
               DisplayMode{640, 400, 60, platform::kFormatX8R8G8B8}};
    graphics.adapters = {a};
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(mode_texts(device(0, 0)), (std::vector<std::string>{"22:640x400", "22:640x480"}));
}

TEST_F(DeviceTableTest, AnAdapterWithOnlySmallModesIsSkippedAndItsSlotReused) {
    FakeAdapter small = test_support::typical_adapter("small");
    small.modes = {DisplayMode{320, 240, 60, platform::kFormatX8R8G8B8}, DisplayMode{512, 384, 60, platform::kFormatR5G6B5}};
    graphics.adapters = {small, test_support::typical_adapter("second")};
    ASSERT_EQ(build(), platform::kOk);
    ASSERT_EQ(table->adapter_count, 1u);
    EXPECT_STREQ(table->adapters[0].identifier.description, "second");
    // The graphics system's own number of the adapter is kept for later calls.
    EXPECT_EQ(table->adapters[0].ordinal, 1u);

    graphics.adapters = {small};
    EXPECT_EQ(build(), settings::kNoUsableDevice);
    graphics.adapters.clear();
    EXPECT_EQ(build(), settings::kNoUsableDevice);
}

TEST_F(DeviceTableTest, PureDeviceIsRefusedThenHardwareAcceptedWithAlphaTextures) {
    FakeAdapter a = test_support::typical_adapter();
    a.hal_caps.dev_caps |= platform::kDevCapsPureDevice;
    a.has_ref = false;
    graphics.adapters = {a};
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(device(0, 0).modes[0].behaviour, platform::kCreateHardwareVertexProcessing);
    EXPECT_EQ(caps_check.behaviours[0], 0x50u);
    EXPECT_EQ(caps_check.behaviours[1], 0x40u);

    // Without alpha textures every behaviour is refused: no device at all.
    a.hal_caps.texture_caps = 0;
    graphics.adapters = {a};
    caps_check.behaviours.clear();
    EXPECT_EQ(build(), settings::kNoUsableDevice);
    const std::vector<uint32_t> one_format_tries = {0x50, 0x40, 0x80, 0x20};
    EXPECT_EQ(std::vector<uint32_t>(caps_check.behaviours.begin(), caps_check.behaviours.begin() + 4), one_format_tries);

    // Without hardware transform and lighting only software is tried.
    a.hal_caps.dev_caps = 0;
    a.hal_caps.texture_caps = platform::kTextureCapsAlphaPalette;
    graphics.adapters = {a};
    caps_check.behaviours.clear();
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(caps_check.behaviours[0], 0x20u);
    EXPECT_EQ(device(0, 0).modes[0].behaviour, platform::kCreateSoftwareVertexProcessing);
}

TEST_F(DeviceTableTest, DepthFormatFollowsThePreferenceAndABufferlessFormatIsRefused) {
    graphics.adapters = {test_support::typical_adapter()};
    graphics.device_format_check = [](uint32_t, platform::DeviceType, Format adapter_format, uint32_t usage,
                                      uint32_t resource, Format depth) {
        EXPECT_EQ(usage, platform::kUsageDepthStencil);
        EXPECT_EQ(resource, platform::kResourceSurface);
        if (adapter_format == platform::kFormatR5G6B5) return platform::kFail;  // 16-bit: no depth at all
        return depth == platform::kFormatD24S8 ? platform::kOk : platform::kFail;
    };
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(mode_texts(device(0, 0)), (std::vector<std::string>{"22:640x480", "22:800x600", "22:1024x768"}));
    EXPECT_EQ(device(0, 0).modes[0].depth_format, platform::kFormatD24S8);

    // Without the automatic depth buffer no depth format is asked for.
    use_depth_buffer = false;
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(device(0, 0).mode_count, 6u);
    EXPECT_EQ(device(0, 0).modes[0].depth_format, 0u);
}

TEST(ChooseDepthFormat, ConditionsOnDepthAndStencilBitsAndBothChecks) {
    FakeGraphicsSystem graphics;
    graphics.adapters = {test_support::typical_adapter()};
    graphics.device_format_check = [](uint32_t, platform::DeviceType, Format, uint32_t, uint32_t, Format) {
        return platform::kOk;
    };
    Format depth = 0;
    ASSERT_TRUE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 16, 0, depth));
    EXPECT_EQ(depth, platform::kFormatD16);
    ASSERT_TRUE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 15, 1, depth));
    EXPECT_EQ(depth, platform::kFormatD15S1);
    ASSERT_TRUE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 16, 1, depth));
    EXPECT_EQ(depth, platform::kFormatD24S8);
    ASSERT_TRUE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 32, 0, depth));
    EXPECT_EQ(depth, platform::kFormatD32);
    EXPECT_FALSE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 32, 1, depth));

    // The match check decides as well.
    graphics.depth_match_check = [](uint32_t, platform::DeviceType, Format adapter_format, Format render_target,
                                    Format d) {
        EXPECT_EQ(adapter_format, render_target);
        return d == platform::kFormatD24X8 ? platform::kOk : platform::kFail;
    };
    ASSERT_TRUE(settings::choose_depth_format(graphics, 0, platform::kDeviceHal, platform::kFormatX8R8G8B8, 16, 0, depth));
    EXPECT_EQ(depth, platform::kFormatD24X8);
}

TEST_F(DeviceTableTest, NoDeviceThatCanRenderInAWindowIsReported) {
    FakeAdapter a = test_support::typical_adapter();
    a.hal_caps.caps2 = 0;
    a.ref_caps.caps2 = 0;
    graphics.adapters = {a};
    EXPECT_EQ(build(), settings::kDesktopModeUnusable);
    EXPECT_FALSE(windowed);
}

// The reference device as start-up choice, with the warning naming what the
// hardware lacked.
TEST_F(DeviceTableTest, ReferenceFallbackWarnsWithTheFirstMissingFinding) {
    struct Case {
        const char* what;
        void (*script)(FakeAdapter&, FakeGraphicsSystem&);
        platform::Result expected;
    };
    const Case cases[] = {
        {"no HAL", [](FakeAdapter& a, FakeGraphicsSystem&) { a.has_hal = false; }, settings::kNoHardwareDevice},
        {"HAL refuses every format",
         [](FakeAdapter&, FakeGraphicsSystem& g) {
             g.device_type_check = [](uint32_t, platform::DeviceType type, Format, Format, bool) {
                 return type == platform::kDeviceHal ? platform::kFail : platform::kOk;
             };
         },
         settings::kNoHardwareDevice},
        {"HAL lacks alpha textures", [](FakeAdapter& a, FakeGraphicsSystem&) { a.hal_caps.texture_caps = 0; },
         settings::kHardwareLacksFeatures},
        {"HAL cannot render windowed", [](FakeAdapter& a, FakeGraphicsSystem&) { a.hal_caps.caps2 = 0; },
         settings::kHardwareCannotWindow},
        {"HAL refuses the desktop format",
         [](FakeAdapter&, FakeGraphicsSystem& g) {
             g.device_type_check = [](uint32_t, platform::DeviceType type, Format f, Format, bool) {
                 return type == platform::kDeviceHal && f == platform::kFormatX8R8G8B8 ? platform::kFail : platform::kOk;
             };
         },
         settings::kHardwareCannotUseDesktop},
        {"HAL has no depth buffer for the desktop format",
         [](FakeAdapter&, FakeGraphicsSystem& g) {
             g.device_format_check = [](uint32_t, platform::DeviceType type, Format f, uint32_t, uint32_t, Format d) {
                 if (type == platform::kDeviceHal && f == platform::kFormatX8R8G8B8) return platform::kFail;
                 return d == platform::kFormatD16 ? platform::kOk : platform::kFail;
             };
         },
         settings::kHardwareLacksFeaturesInMode},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        graphics = FakeGraphicsSystem{};
        FakeAdapter a = test_support::typical_adapter();
        c.script(a, graphics);
        graphics.adapters = {a};
        windowed = false;
        ASSERT_EQ(build(), platform::kOk);
        const settings::AdapterRecord& adapter = table->adapters[0];
        EXPECT_EQ(adapter.devices[adapter.current_device].device_type, platform::kDeviceRef);
        EXPECT_EQ(warning, c.expected);
        EXPECT_TRUE(windowed);
    }
}

TEST_F(DeviceTableTest, TheFirstWindowedDeviceInAdapterOrderIsChosen) {
    FakeAdapter no_window = test_support::typical_adapter("first");
    no_window.hal_caps.caps2 = 0;
    no_window.ref_caps.caps2 = 0;
    FakeAdapter ref_only_window = test_support::typical_adapter("second");
    ref_only_window.hal_caps.caps2 = 0;
    graphics.adapters = {no_window, ref_only_window, test_support::typical_adapter("third")};
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(table->current_adapter, 1u);
    EXPECT_EQ(table->adapters[1].current_device, 1u);
    // The third adapter's HAL can render windowed, so the hardware did not lack it.
    EXPECT_EQ(warning, settings::kHardwareLacksFeaturesInMode);
}

TEST_F(DeviceTableTest, EveryCapacityHoldsWhateverTheSystemReports) {
    FakeAdapter a = test_support::typical_adapter();
    a.modes.clear();
    // 30 formats, then 300 sizes: more than 20 formats and 100 candidates.
    for (uint32_t f = 0; f < 30; ++f) a.modes.push_back(DisplayMode{640, 480, 60, 100 + f});
    for (uint32_t s = 1; s <= 300; ++s) a.modes.push_back(DisplayMode{640 + s, 480, 60, 100});
    a.desktop_mode.format = 100;
    std::memset(a.identifier.description, 'd', sizeof a.identifier.description);  // no terminating zero
    caps_check.accept_all = true;
    graphics.adapters.assign(14, a);
    ASSERT_EQ(build(), platform::kOk);
    EXPECT_EQ(table->adapter_count, settings::kMaxAdapters);
    for (uint32_t i = 0; i < table->adapter_count; ++i) {
        const settings::AdapterRecord& adapter = table->adapters[i];
        EXPECT_EQ(adapter.ordinal, i);
        EXPECT_EQ(std::strlen(adapter.identifier.description), sizeof adapter.identifier.description - 1);
        for (uint32_t d = 0; d < adapter.device_count; ++d) {
            const settings::DeviceRecord& dev = adapter.devices[d];
            EXPECT_EQ(dev.mode_count, settings::kMaxCandidates);
            uint32_t formats_seen = 0;
            Format last = 0;
            for (uint32_t m = 0; m < dev.mode_count; ++m) {
                if (dev.modes[m].format != last) ++formats_seen;
                last = dev.modes[m].format;
            }
            // The desktop format and the first 19 others.
            EXPECT_EQ(formats_seen, settings::kMaxFormats);
            EXPECT_EQ(dev.modes[0].format, 119u);
        }
    }
}

// ---- saved device settings ----

class SavedDeviceChoice : public DeviceTableTest {
protected:
    void SetUp() override {
        graphics.adapters = {test_support::typical_adapter("a"), test_support::typical_adapter("b")};
        ASSERT_EQ(build(), platform::kOk);
    }
};

TEST_F(SavedDeviceChoice, ValidSettingsBecomeTheCurrentChoice) {
    settings::Settings saved = settings::default_settings();
    saved.r_adapter = 1;
    saved.r_device = 1;
    saved.r_mode = 2;
    saved.r_multi_sample = 4;
    ASSERT_TRUE(settings::apply_saved_device_choice(*table, saved, 0));
    EXPECT_EQ(table->current_adapter, 1u);
    EXPECT_EQ(table->adapters[1].current_device, 1u);
    const settings::DeviceRecord& d = device(1, 1);
    EXPECT_EQ(d.current_mode, 2u);
    EXPECT_FALSE(d.windowed);
    EXPECT_EQ(d.windowed_multisample, 0u);
    EXPECT_EQ(d.fullscreen_multisample, 4u);

    ASSERT_TRUE(settings::apply_saved_device_choice(*table, saved, 1));
    EXPECT_TRUE(device(1, 1).windowed);
}

TEST_F(SavedDeviceChoice, SettingsOutsideTheTableLeaveItsOwnChoice) {
    auto with = [](uint32_t adapter, uint32_t dev, uint32_t mode, int32_t multi) {
        settings::Settings s = settings::default_settings();
        s.r_adapter = adapter;
        s.r_device = dev;
        s.r_mode = mode;
        s.r_multi_sample = multi;
        return s;
    };
    const settings::Settings bad[] = {with(2, 0, 0, 0), with(0xFFFFFFFFu, 0, 0, 0), with(0, 2, 0, 0),
                                      with(0, 0, 6, 0), with(0, 0, 0, 1), with(0, 0, 0, 17), with(0, 0, 0, -2)};
    for (const settings::Settings& s : bad) {
        auto before = std::make_unique<DeviceTable>();
        std::memcpy(before.get(), table.get(), sizeof *before);
        EXPECT_FALSE(settings::apply_saved_device_choice(*table, s, 1));
        EXPECT_EQ(std::memcmp(before.get(), table.get(), sizeof *before), 0);
    }
}

}  // namespace
