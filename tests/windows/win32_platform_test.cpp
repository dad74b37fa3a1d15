// The Win32 platform against the real system (under Wine on Linux), the
// parts that need no display: the registry store's type and size rules, the
// clock, GDI glyphs, the order of the monitors, and the program's resources
// (accelerator table 113, string 1, icon 101, bitmap IDB_SMALLWND).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "app/accelerators.h"
#include "platform/gl/frame_pacer.h"
#include "platform/win32/gdi_glyph_rasterizer.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_monitors.h"
#include "resources/resources.h"

namespace {

// ---- the registry ----

constexpr const char* kTestKey = "Software\\aquarium-tests\\registry";

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override {
        store.close_key();
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestKey);
    }
    void put(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    platform::win32::RegistrySettingsStore store{kTestKey};
};

TEST_F(RegistryStoreTest, CreatesTheKeyOnceAndKeepsDwordValues) {
    bool created = false;
    ASSERT_EQ(store.create_key(created), platform::kOk);
    EXPECT_TRUE(created);
    EXPECT_EQ(store.write_value("camxz", 0x43870000u), platform::kOk);
    EXPECT_EQ(store.write_value("r_floor", 0xFFFFFFFFu), platform::kOk);
    ASSERT_EQ(store.close_key(), platform::kOk);

    ASSERT_EQ(store.create_key(created), platform::kOk);
    EXPECT_FALSE(created);
    ASSERT_EQ(store.close_key(), platform::kOk);
    ASSERT_EQ(store.open_key(), platform::kOk);
    uint32_t value = 0;
    ASSERT_TRUE(store.read_value("camxz", value));
    EXPECT_EQ(value, 0x43870000u);
    ASSERT_TRUE(store.read_value("r_floor", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_FALSE(store.read_value("missing", value));

    DWORD type = 0, size = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "camxz", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);
}

TEST_F(RegistryStoreTest, ValuesOfAnotherTypeOrSizeReadAsMissingAndAreNeverReadPast) {
    const char text[] = "725";
    const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t two[2] = {9, 9};
    const uint64_t qword = 0x4000000040000000ull;
    const uint8_t big_endian[4] = {0, 0, 0, 1};
    put("as_text", REG_SZ, text, sizeof text);
    put("eight_bytes", REG_BINARY, eight, sizeof eight);
    put("two_bytes", REG_BINARY, two, sizeof two);
    put("four_bytes_binary", REG_BINARY, eight, 4);
    put("qword", REG_QWORD, &qword, sizeof qword);
    put("big_endian", REG_DWORD_BIG_ENDIAN, big_endian, sizeof big_endian);
    put("short_dword", REG_DWORD, two, sizeof two);
    put("long_dword", REG_DWORD, eight, sizeof eight);
    put("empty_dword", REG_DWORD, nullptr, 0);

    ASSERT_EQ(store.open_key(), platform::kOk);
    for (const char* name : {"as_text", "eight_bytes", "two_bytes", "four_bytes_binary", "qword", "big_endian",
                             "short_dword", "long_dword", "empty_dword"}) {
        uint32_t value = 0x5EEDu;
        EXPECT_FALSE(store.read_value(name, value)) << name;
        EXPECT_EQ(value, 0x5EEDu) << name << " changed the caller's value";
    }
}

TEST_F(RegistryStoreTest, NothingIsReadOrWrittenWithoutAnOpenKey) {
    uint32_t value = 7;
    EXPECT_FALSE(store.read_value("camxz", value));
    EXPECT_NE(store.write_value("camxz", 1), platform::kOk);
    EXPECT_NE(store.open_key(), platform::kOk);  // never created
    EXPECT_EQ(value, 7u);
}

// ---- the clock ----

TEST(Win32Clock, CountsFromItsCreationAndGrantsOneMillisecond) {
    platform::Clock& clock = *platform::win32::make_win32_clock();
    int64_t frequency = 0;
    ASSERT_TRUE(clock.query_performance_frequency(frequency));
    EXPECT_GT(frequency, 1000);
    const int64_t first = clock.query_performance_counter();
    EXPECT_GT(first, 0);
    EXPECT_LT(first / frequency, 600) << "counts from the machine's start, not the clock's";
    Sleep(20);
    const int64_t later = clock.query_performance_counter();
    EXPECT_GE(later - first, frequency / 100);
    EXPECT_LT(clock.time_get_time(), 600000u);
    EXPECT_EQ(clock.time_begin_period(1), 0u);
    EXPECT_EQ(clock.time_end_period(1), 0u);
}

// ---- the monitors' order ----

// Monitor N is the monitor of adapter N, whatever order the system lists
// the monitors in; monitors of no adapter follow, the primary first.
TEST(MonitorOrder, TheAdaptersOrderRulesAndTheRestFollowWithThePrimaryFirst) {
    using platform::win32::FoundMonitor;
    const auto monitor = [](const char* name, int32_t left, bool primary) {
        FoundMonitor found{};
        found.info.bounds = platform::Rect{left, 0, left + 800, 600};
        found.info.dpi = 96;
        std::snprintf(found.info.name, sizeof found.info.name, "%s", name);
        found.primary = primary;
        return found;
    };
    const FoundMonitor found[] = {monitor("\\\\.\\DISPLAY3", -800, false), monitor("\\\\.\\DISPLAY9", 1600, false),
                                  monitor("\\\\.\\DISPLAY2", 0, true), monitor("\\\\.\\DISPLAY1", 800, false)};
    const char adapters[][platform::kMonitorNameSize] = {"\\\\.\\DISPLAY2", "\\\\.\\DISPLAY1", "\\\\.\\DISPLAY3"};
    struct Case {
        uint32_t adapter_count, found_count, capacity;
        std::vector<int32_t> lefts;  // of the monitors in the answer's order
    };
    const Case cases[] = {
        {3, 4, 16, {0, 800, -800, 1600}},  // the adapters' order, then the one of no adapter
        {0, 4, 16, {0, -800, 1600, 800}},  // no adapters: the primary first, then the system's order
        {3, 3, 16, {0, -800, 1600}},       // DISPLAY1 has no monitor: the others move up
        {3, 4, 2, {0, 800}},               // no more than the capacity
    };
    for (const Case& c : cases) {
        platform::MonitorInfo ordered[16] = {};
        const uint32_t count =
            platform::win32::order_monitors(adapters, c.adapter_count, found, c.found_count, ordered, c.capacity);
        std::vector<int32_t> lefts;
        for (uint32_t i = 0; i < count; ++i) lefts.push_back(ordered[i].bounds.left);
        EXPECT_EQ(lefts, c.lefts) << c.adapter_count << " adapters, " << c.found_count << " monitors";
    }
}

// ---- GDI glyphs ----

// The frame pacer's sleep on this system's C library: a pacer that never
// waits lets a window whose swap does not block draw as fast as it can.
TEST(FramePacerSleep, WaitsForItsDeadline) {
    const double deadline = platform::gl::monotonic_seconds() + 0.03;
    platform::gl::sleep_until(deadline);
    EXPECT_GE(platform::gl::monotonic_seconds(), deadline - 0.002);  // Sleep rounds to milliseconds
}

TEST(GdiGlyphs, BoldArialIsMeasuredAndDrawnWhiteOnBlack) {
    platform::win32::GdiGlyphRasterizer glyphs;
    EXPECT_GT(glyphs.vertical_dpi(), 0);
    ASSERT_EQ(glyphs.create_bitmap(128, 32), platform::kOk);
    ASSERT_EQ(glyphs.create_font("Arial", -16, 700, false), platform::kOk);
    const platform::GlyphExtent w = glyphs.measure('W');
    const platform::GlyphExtent i = glyphs.measure('i');
    EXPECT_GT(w.width, i.width);
    EXPECT_GT(i.width, 0);
    EXPECT_GE(w.height, 16);
    EXPECT_EQ(w.height, i.height);
    const uint32_t* before = glyphs.pixels();
    ASSERT_NE(before, nullptr);
    for (int p = 0; p < 128 * 32; ++p) ASSERT_EQ(before[p], 0u);
    glyphs.draw('W', 4, 2);
    const uint32_t* pixels = glyphs.pixels();
    int white = 0, grey = 0, outside = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 128; ++x) {
            const uint32_t p = pixels[y * 128 + x];
            const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            EXPECT_TRUE(r == g && g == b) << "not grey at " << x << "," << y;
            if (p == 0x00FFFFFFu) ++white;
            if (p != 0) ++grey;
            if (p != 0 && (x < 4 || x >= 4 + w.width)) ++outside;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_GT(grey, white);
    EXPECT_EQ(outside, 0);
    glyphs.destroy();
    EXPECT_EQ(glyphs.pixels(), nullptr);
    EXPECT_NE(glyphs.create_bitmap(0, 10), platform::kOk);
}

// ---- the program's resources ----

TEST(Resources, AcceleratorTable113IsTheProgramsTable) {
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(113));
    ASSERT_NE(table, nullptr);
    ACCEL entries[16];
    const int count = CopyAcceleratorTableA(table, entries, 16);
    ASSERT_EQ(count, app::kAcceleratorCount);
    for (int i = 0; i < count; ++i) {
        const platform::Accelerator& want = app::kAccelerators[i];
        EXPECT_EQ(entries[i].key, want.key) << i;
        EXPECT_EQ(entries[i].cmd, want.command) << i;
        EXPECT_EQ((entries[i].fVirt & FALT) != 0, want.alt) << i;
        EXPECT_NE(entries[i].fVirt & FVIRTKEY, 0) << i;
    }
    DestroyAcceleratorTable(table);
}

TEST(Resources, NameIconAndPreviewBitmap) {
    char name[64] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Aquarium");
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101)), nullptr);

    // The bitmap resource, loaded as the preview loads it, holds the
    // picture's pixels exactly.
    static uint32_t pixels[resources::kPreviewWidth * resources::kPreviewHeight];
    int32_t width = 0, height = 0;
    ASSERT_TRUE(resources::decode_preview_bitmap(pixels, width, height));
    EXPECT_EQ(width, 152);
    EXPECT_EQ(height, 112);
    static uint32_t picture[resources::kPreviewWidth * resources::kPreviewHeight];
    size_t size = 0;
    const uint8_t* png = resources::preview_png(size);
    int32_t picture_width = 0, picture_height = 0;
    ASSERT_TRUE(resources::decode_png(png, size, picture, resources::kPreviewWidth, resources::kPreviewHeight,
                                      picture_width, picture_height));
    ASSERT_EQ(picture_width * picture_height, width * height);
    int differing = 0;
    for (int32_t i = 0; i < width * height; ++i) differing += pixels[i] != (picture[i] & 0x00FFFFFFu) ? 1 : 0;
    EXPECT_EQ(differing, 0) << "of " << width * height << " pixels";
    EXPECT_GT(std::set<uint32_t>(pixels, pixels + width * height).size(), 20u);
}

}  // namespace
