// The about text, the title taken from it and the about box.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/about_text.h"
#include "tests/settings/recording_message_boxes.h"

namespace {

using settings_test::RecordedBox;
using settings_test::RecordingMessageBoxes;

std::string about_text() {
    char buffer[settings::kAboutBoxBufferSize];
    EXPECT_EQ(settings::decode_about_text(buffer, sizeof buffer), platform::kOk);
    return buffer;
}

TEST(AboutText, HasTheFixedShapeOfTitleLineAndBody) {
    const std::string text = about_text();
    ASSERT_EQ(text.size(), settings::kAboutTextLength);
    const size_t line_feed = text.find('\n');
    ASSERT_NE(line_feed, std::string::npos);
    EXPECT_LT(line_feed, 80u);
    EXPECT_EQ(text.rfind("Aquarium", 0), 0u);
    for (char c : text) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
    }
    // Decoding is repeatable.
    EXPECT_EQ(about_text(), text);
}

TEST(AboutText, TitleIsTheFirstLineBoundedByItsBuffer) {
    const std::string text = about_text();
    const std::string first_line = text.substr(0, text.find('\n'));

    char title[settings::kTitleBufferSize];
    std::memset(title, 'x', sizeof title);
    settings::title_from_about_text(title, sizeof title);
    EXPECT_EQ(std::string(title), first_line);

    char small[9];
    settings::title_from_about_text(small, sizeof small);
    EXPECT_EQ(std::string(small), first_line.substr(0, 8));
}

TEST(AboutText, AboutBoxShowsTheWholeTextEachTimeWithOnlyOk) {
    RecordingMessageBoxes boxes;
    settings::show_about_box(boxes, 77);
    settings::show_about_box(boxes, 77);
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const RecordedBox& box : boxes.shown) {
        EXPECT_EQ(box.owner, 77u);
        EXPECT_EQ(box.text, about_text());
        EXPECT_EQ(box.caption, "About");
        EXPECT_EQ(box.flags, platform::kBoxOk);
    }
}

}  // namespace
