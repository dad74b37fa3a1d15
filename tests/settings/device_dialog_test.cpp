// The device dialog's rules, driven without a window: what the lists hold
// and select, how selections change the choice, and what OK, Cancel and the
// about button do.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/about_text.h"
#include "settings/device_dialog.h"
#include "tests/settings/recording_message_boxes.h"
#include "tests/support/fake_graphics.h"
#include "tests/support/fake_settings_store.h"

namespace {

using settings::DeviceDialogModel;
using settings::DialogCommand;
using test_support::FakeGraphicsSystem;

template <uint32_t Capacity>
std::vector<std::string> texts(const settings::DialogList<Capacity>& list) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < list.count; ++i) out.push_back(list.items[i].text);
    return out;
}

DialogCommand selection_in(uint32_t control) { return DialogCommand{control, settings::kNotifySelectionDone}; }
DialogCommand click_on(uint32_t control) { return DialogCommand{control, settings::kNotifyClicked}; }

class DeviceDialog : public ::testing::Test {
protected:
    void SetUp() override {
        graphics.adapters = {test_support::typical_adapter("First adapter"),
                             test_support::typical_adapter("Second adapter")};
        build_table();
        store.key_exists = true;
        settings = settings::default_settings();
        settings.d_show_info = false;
        settings.d_exit_omm = true;
    }

    void build_table() {
        settings::DeviceTableRequest request{};
        request.graphics = &graphics;
        request.use_depth_buffer = true;
        request.min_depth_bits = 16;
        request.screen_width = 1024;
        request.screen_height = 768;
        bool windowed = false;
        platform::Result warning = 0;
        ASSERT_EQ(settings::build_device_table(*table, request, windowed, warning), platform::kOk);
    }

    settings::DeviceDialogServices services() {
        return settings::DeviceDialogServices{table.get(), &graphics, &settings, &store, &boxes, "Aquarium title"};
    }

    void open() { settings::init_device_dialog(*model, services()); }

    void command(const DialogCommand& c) { settings::handle_device_dialog_command(*model, c, 4242); }

    // Picks item `index` of a list the way the view does, then completes the selection.
    template <uint32_t Capacity>
    void pick(settings::DialogList<Capacity>& list, uint32_t control, int32_t index) {
        list.selected = index;
        command(selection_in(control));
    }

    std::vector<std::string> multisample_checks() {
        std::vector<std::string> out;
        for (const std::string& call : graphics.calls) {
            if (call.rfind("check_device_multisample_type", 0) == 0) out.push_back(call);
        }
        return out;
    }

    FakeGraphicsSystem graphics;
    std::unique_ptr<settings::DeviceTable> table = std::make_unique<settings::DeviceTable>();
    test_support::FakeSettingsStore store;
    settings_test::RecordingMessageBoxes boxes;
    settings::Settings settings{};
    std::unique_ptr<DeviceDialogModel> model = std::make_unique<DeviceDialogModel>();
};

TEST_F(DeviceDialog, OpensWithTheTablesChoiceAndFullScreenOffers) {
    graphics.calls.clear();
    open();
    const settings::DeviceDialogControls& c = model->controls;
    EXPECT_STREQ(c.caption, "Aquarium title");
    EXPECT_EQ(texts(c.adapters), (std::vector<std::string>{"First adapter", "Second adapter"}));
    EXPECT_EQ(c.adapters.selected, 0);
    EXPECT_EQ(texts(c.devices), (std::vector<std::string>{"HAL", "REF"}));
    EXPECT_EQ(c.devices.selected, 0);
    EXPECT_EQ(texts(c.modes), (std::vector<std::string>{"640 x 480 x 16", "800 x 600 x 16", "1024 x 768 x 16",
                                                        "640 x 480 x 32", "800 x 600 x 32", "1024 x 768 x 32"}));
    EXPECT_EQ(c.modes.selected, 5);
    EXPECT_EQ(texts(c.multisample_types), (std::vector<std::string>{"none", "2 samples", "4 samples"}));
    EXPECT_EQ(c.multisample_types.items[2].value, 4u);
    EXPECT_EQ(c.multisample_types.selected, 0);
    EXPECT_TRUE(c.multisample_types.enabled);
    EXPECT_TRUE(c.modes.enabled);
    EXPECT_TRUE(c.windowed_radio.enabled);
    EXPECT_FALSE(c.windowed_radio.checked);
    EXPECT_TRUE(c.fullscreen_radio.checked);
    EXPECT_FALSE(c.show_info.checked);
    EXPECT_TRUE(c.exit_on_mouse_move.checked);
    // The device asked for a window; the dialog always offers full screen.
    EXPECT_TRUE(model->opening.windowed);
    EXPECT_FALSE(model->chosen.windowed);
    // Every type but 1 is asked for the chosen mode's format, full screen.
    const std::vector<std::string> checks = multisample_checks();
    ASSERT_EQ(checks.size(), 16u);
    EXPECT_EQ(checks[0], "check_device_multisample_type(0,1,22,0,0)");
    EXPECT_EQ(checks[1], "check_device_multisample_type(0,1,22,0,2)");
    EXPECT_EQ(checks[15], "check_device_multisample_type(0,1,22,0,16)");
}

TEST_F(DeviceDialog, TheSavedMultisampleTypeIsSelectedWhenOfferedElseNone) {
    table->adapters[0].devices[0].fullscreen_multisample = 4;
    open();
    EXPECT_EQ(model->controls.multisample_types.selected, 2);
    EXPECT_EQ(model->chosen.fullscreen_multisample, 4u);

    table->adapters[0].devices[0].fullscreen_multisample = 8;
    open();
    EXPECT_EQ(model->controls.multisample_types.selected, 0);
    EXPECT_EQ(model->chosen.fullscreen_multisample, 0u);
}

TEST_F(DeviceDialog, TheMultisampleListIsEnabledOnlyWithAChoice) {
    graphics.multisample_check = [](uint32_t, platform::DeviceType, platform::Format, bool, uint32_t type) {
        return type == 0 ? platform::kOk : platform::kFail;
    };
    open();
    EXPECT_EQ(texts(model->controls.multisample_types), (std::vector<std::string>{"none"}));
    EXPECT_FALSE(model->controls.multisample_types.enabled);

    // Nothing offered at all: the choice is "none", never an undefined value.
    graphics.multisample_check = [](uint32_t, platform::DeviceType, platform::Format, bool, uint32_t) {
        return platform::kFail;
    };
    table->adapters[0].devices[0].fullscreen_multisample = 4;
    open();
    EXPECT_EQ(model->controls.multisample_types.count, 0u);
    EXPECT_EQ(model->controls.multisample_types.selected, -1);
    EXPECT_EQ(model->chosen.fullscreen_multisample, 0u);
    command(click_on(settings::kControlOk));
    EXPECT_EQ(settings.r_multi_sample, 0);
}

TEST_F(DeviceDialog, ChangingAdapterOrDeviceTakesItsCurrentChoices) {
    table->adapters[1].current_device = 1;
    table->adapters[1].devices[1].current_mode = 2;
    open();
    pick(model->controls.modes, settings::kControlModeList, 1);
    graphics.calls.clear();
    pick(model->controls.adapters, settings::kControlAdapterList, 1);
    EXPECT_EQ(model->chosen.adapter, 1u);
    EXPECT_EQ(model->chosen.device, 1u);
    EXPECT_EQ(model->chosen.mode, 2u);
    EXPECT_EQ(model->controls.adapters.selected, 1);
    EXPECT_EQ(model->controls.devices.selected, 1);
    EXPECT_EQ(model->controls.modes.selected, 2);
    EXPECT_FALSE(model->chosen.windowed);
    // The multisample types are asked of the new adapter's REF with the 16-bit mode's format.
    EXPECT_EQ(multisample_checks().at(0), "check_device_multisample_type(1,2,23,0,0)");

    // Changing the device takes its current mode.
    table->adapters[1].devices[0].current_mode = 3;
    pick(model->controls.devices, settings::kControlDeviceList, 0);
    EXPECT_EQ(model->chosen.device, 0u);
    EXPECT_EQ(model->chosen.mode, 3u);
    EXPECT_EQ(model->controls.modes.selected, 3);
}

TEST_F(DeviceDialog, ModeAndMultisampleSelectionsChangeTheChoice) {
    graphics.multisample_check = [](uint32_t, platform::DeviceType, platform::Format format, bool, uint32_t type) {
        if (type == 0) return platform::kOk;
        if (format == platform::kFormatR5G6B5) return type == 2 ? platform::kOk : platform::kFail;
        return type == 4 || type == 8 ? platform::kOk : platform::kFail;
    };
    open();
    EXPECT_EQ(texts(model->controls.multisample_types), (std::vector<std::string>{"none", "4 samples", "8 samples"}));
    pick(model->controls.multisample_types, settings::kControlMultisampleList, 2);
    EXPECT_EQ(model->chosen.fullscreen_multisample, 8u);
    EXPECT_EQ(model->controls.multisample_types.selected, 2);

    // A 16-bit mode does not offer 8 samples: the list falls back to "none".
    pick(model->controls.modes, settings::kControlModeList, 0);
    EXPECT_EQ(model->chosen.mode, 0u);
    EXPECT_EQ(texts(model->controls.multisample_types), (std::vector<std::string>{"none", "2 samples"}));
    EXPECT_EQ(model->chosen.fullscreen_multisample, 0u);
}

TEST_F(DeviceDialog, ASelectionWithNothingSelectedChangesNothing) {
    open();
    const settings::DeviceChoice before = model->chosen;
    model->controls.adapters.selected = -1;
    command(selection_in(settings::kControlAdapterList));
    model->controls.modes.selected = 99;
    command(selection_in(settings::kControlModeList));
    EXPECT_EQ(model->chosen.adapter, before.adapter);
    EXPECT_EQ(model->chosen.mode, before.mode);
    EXPECT_EQ(model->controls.adapters.selected, 0);
    EXPECT_EQ(model->controls.modes.selected, 5);
}

TEST_F(DeviceDialog, OkSavesTheDeviceThenTheGeneralSettings) {
    open();
    pick(model->controls.adapters, settings::kControlAdapterList, 1);
    pick(model->controls.modes, settings::kControlModeList, 4);
    pick(model->controls.multisample_types, settings::kControlMultisampleList, 1);
    store.calls.clear();
    command(click_on(settings::kControlOk));
    EXPECT_EQ(model->end_result, settings::kDialogEndedOk);
    EXPECT_EQ(settings.r_adapter, 1u);
    EXPECT_EQ(settings.r_device, 0u);
    EXPECT_EQ(settings.r_mode, 4u);
    EXPECT_EQ(settings.r_multi_sample, 2);
    // The hidden check boxes were not touched: their values are written back unchanged.
    EXPECT_FALSE(settings.d_show_info);
    EXPECT_TRUE(settings.d_exit_omm);
    EXPECT_EQ(store.written_names(), (std::vector<std::string>{"r_adapter", "r_device", "r_mode", "r_multi_sample",
                                                               "r_floor", "d_show_info", "d_exit_omm", "camxz", "camyy",
                                                               "camrr", "camlr", "camhh", "d_other_monitors"}));
    EXPECT_EQ(store.values.at("d_show_info"), 0u);
    EXPECT_EQ(store.values.at("d_exit_omm"), 1u);
    // The running device's table is not changed.
    EXPECT_EQ(table->current_adapter, 0u);
}

// The one box the user sees besides the lists: it opens with the setting,
// a click (the view turns it over) is kept through the refill, and only OK
// saves it.
TEST_F(DeviceDialog, TheOtherMonitorsBoxOpensWithTheSettingAndOnlyOkSavesIt) {
    for (const bool stored : {true, false}) {
        settings.d_other_monitors = stored;
        open();
        EXPECT_EQ(model->controls.other_monitors.checked, stored);
        EXPECT_TRUE(model->controls.other_monitors.enabled);
        model->controls.other_monitors.checked = !stored;
        command(click_on(settings::kControlOtherMonitorsCheck));
        EXPECT_EQ(model->end_result, 0);
        EXPECT_EQ(model->controls.other_monitors.checked, !stored);
        EXPECT_EQ(settings.d_other_monitors, stored);
        command(click_on(settings::kControlOk));
        EXPECT_EQ(settings.d_other_monitors, !stored);
        EXPECT_EQ(store.values.at("d_other_monitors"), stored ? 0u : 1u);
    }
}

TEST_F(DeviceDialog, CancelSavesNothing) {
    open();
    pick(model->controls.adapters, settings::kControlAdapterList, 1);
    store.calls.clear();
    const settings::Settings before = settings;
    command(click_on(settings::kControlCancel));
    EXPECT_EQ(model->end_result, settings::kDialogEndedCancel);
    EXPECT_TRUE(store.calls.empty());
    EXPECT_EQ(settings.r_adapter, before.r_adapter);
}

TEST_F(DeviceDialog, TheAboutButtonShowsTheWholeTextEachTimeAndTheDialogStaysOpen) {
    open();
    command(click_on(settings::kControlAboutButton));
    command(click_on(settings::kControlAboutButton));
    char text[settings::kAboutBoxBufferSize];
    settings::decode_about_text(text, sizeof text);
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const auto& box : boxes.shown) {
        EXPECT_EQ(box.owner, 4242u);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, "About");
        EXPECT_EQ(box.flags, platform::kBoxOk);
    }
    EXPECT_EQ(model->end_result, 0);
    EXPECT_EQ(model->controls.modes.count, 6u);
}

TEST_F(DeviceDialog, MultisampleChecksUseTheAdaptersOwnNumber) {
    test_support::FakeAdapter small = test_support::typical_adapter("too small");
    small.modes = {platform::DisplayMode{320, 200, 60, platform::kFormatX8R8G8B8}};
    graphics.adapters.insert(graphics.adapters.begin(), small);
    build_table();
    graphics.calls.clear();
    open();
    EXPECT_EQ(multisample_checks().at(0), "check_device_multisample_type(1,1,22,0,0)");
}

// A view that answers with a fixed list of commands.
class ScriptedView : public settings::DeviceDialogView {
public:
    platform::Result open_result = platform::kOk;
    std::vector<std::pair<int32_t, DialogCommand>> script;  // selection to make (-1: none), then the command
    std::string caption;
    int commands_asked = 0;
    bool closed = false;

    platform::Result open(const settings::DeviceDialogControls& controls) override {
        caption = controls.caption;
        return open_result;
    }
    DialogCommand wait_for_command(settings::DeviceDialogControls& controls) override {
        const auto& [index, command] = script.at(commands_asked++);
        if (command.control_id == settings::kControlAdapterList) controls.adapters.selected = index;
        if (command.control_id == settings::kControlMultisampleList) controls.multisample_types.selected = index;
        return command;
    }
    platform::NativeWindow window() const override { return 99; }
    void close() override { closed = true; }
};

TEST_F(DeviceDialog, RunShowsTheViewUntilOkOrCancel) {
    ScriptedView view;
    view.script = {{1, selection_in(settings::kControlAdapterList)},
                   {2, selection_in(settings::kControlMultisampleList)},
                   {-1, click_on(settings::kControlAboutButton)},
                   {-1, click_on(settings::kControlOk)}};
    EXPECT_EQ(settings::run_device_dialog_model(view, services()), settings::kDialogEndedOk);
    EXPECT_EQ(view.caption, "Aquarium title");
    EXPECT_EQ(view.commands_asked, 4);
    EXPECT_TRUE(view.closed);
    EXPECT_EQ(settings.r_adapter, 1u);
    EXPECT_EQ(settings.r_multi_sample, 4);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].owner, 99u);

    ScriptedView cancel_view;
    cancel_view.script = {{-1, click_on(settings::kControlCancel)}};
    EXPECT_EQ(settings::run_device_dialog_model(cancel_view, services()), settings::kDialogEndedCancel);

    ScriptedView broken_view;
    broken_view.open_result = platform::kFail;
    EXPECT_EQ(settings::run_device_dialog_model(broken_view, services()), platform::kFail);
    EXPECT_EQ(broken_view.commands_asked, 0);
}

}  // namespace
