// Preview mode (/p <window>): the picture inside the host's window, and the
// end when the host takes its window away.
#include <string>
#include <vector>

#include "e2e_session.h"

namespace e2e {
namespace {

struct PreviewForm {
    const char* name;
    const char* switch_text;
    bool joined;  // the window number right after the switch, no blank between
};

class PreviewTest : public AquariumTest, public ::testing::WithParamInterface<PreviewForm> {};

TEST_P(PreviewTest, DrawsInsideTheHostWindowAndEndsWithIt) {
    const int host_x = 100, host_y = 80, host_width = 300, host_height = 200;
    const uint32_t host = x_.create_host_window(host_x, host_y, host_width, host_height);
    ASSERT_NE(host, 0u);
    const std::string id = std::to_string(host);
    const std::string blank_picture = screenshot(id, "host-before");
    ASSERT_EQ(image_facts(blank_picture).colours, 1u) << "the host should start plain white";

    const PreviewForm& form = GetParam();
    Process aquarium = form.joined ? launch({form.switch_text + id}) : launch({form.switch_text, id});

    // A child window filling the host.
    std::optional<uint32_t> child;
    ASSERT_TRUE(wait_until(
        [&] {
            for (const uint32_t w : x_.children(host)) {
                if (x_.viewable(w)) child = w;
            }
            return child.has_value() || !aquarium.running();
        },
        15s))
        << "no preview window inside the host";
    ASSERT_TRUE(child.has_value()) << "ended without a preview: " << aquarium.status()->describe() << "; errors: "
                                   << aquarium.errors();
    EXPECT_EQ(x_.geometry(*child), (WindowGeometry{host_x, host_y, host_width, host_height}));

    // The picture, stretched over the whole host.
    std::string picture;
    const bool drawn = wait_until(
        [&] {
            picture = screenshot(id, "preview");
            return image_facts(picture).colours > 1;
        },
        10s, 200ms);
    EXPECT_TRUE(drawn) << "the host window shows one colour; see " << picture;
    EXPECT_GT(image_facts(picture, "150x100+0+0").colours, 1u) << "the top-left quarter is plain; see " << picture;
    EXPECT_GT(image_facts(picture, "150x100+150+100").colours, 1u)
        << "the bottom-right quarter is plain; see " << picture;

    // No window of its own beside the preview.
    EXPECT_FALSE(x_.titled_window_of(aquarium.pid()).has_value());
    ASSERT_TRUE(aquarium.running());

    x_.destroy_window(host);
    const std::optional<ExitStatus> status = aquarium.wait_for_exit(10s);
    ASSERT_TRUE(status.has_value()) << "the preview outlived its host";
    EXPECT_TRUE(status->clean()) << status->describe();
    EXPECT_EQ(aquarium.errors(), "");
    EXPECT_EQ(aquarium.output(), "");
}

INSTANTIATE_TEST_SUITE_P(Forms, PreviewTest,
                         ::testing::Values(PreviewForm{"SlashP", "/p", false}, PreviewForm{"DashUpperP", "-P", false},
                                           PreviewForm{"Joined", "/p", true}),
                         [](const ::testing::TestParamInfo<PreviewForm>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
