// Keyboard and mouse events become the window messages the program
// expects, and the accelerator table turns its keys into commands.
#include <gtest/gtest.h>

#include <vector>

#include "platform/sdl/sdl_event_translation.h"

namespace {

using namespace platform;
using namespace platform::sdl;

constexpr NativeWindow kWindow = 77;

SDL_Event key_event(uint32_t type, SDL_Keycode key, uint16_t modifiers = KMOD_NONE, uint8_t repeat = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_SCANCODE_UNKNOWN;
    event.key.keysym.mod = modifiers;
    event.key.repeat = repeat;
    return event;
}

std::vector<Message> drain(MessageQueue& queue) {
    std::vector<Message> messages;
    while (!queue.empty()) {
        messages.push_back(queue.front());
        queue.pop();
    }
    return messages;
}

const Accelerator kTable[] = {{'P', false, 40004}, {kKeyEscape, false, 40006}, {kKeyF2, false, 40002},
                              {kKeyReturn, true, 40003}, {kKeySpace, false, 40005}, {'X', true, 40006}};

TEST(InputTranslation, KeysBecomeVirtualKeysAndAltMakesSystemKeys) {
    InputTranslator translator;
    MessageQueue queue;
    translator.translate(key_event(SDL_KEYDOWN, SDLK_h), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_ESCAPE), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_F2), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_F10), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_x, KMOD_LALT), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_s, KMOD_NONE, 1), kWindow, queue);
    const auto messages = drain(queue);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].message, kMsgKeyDown);
    EXPECT_EQ(messages[0].wparam, uintptr_t{'H'});
    EXPECT_EQ(messages[0].window, kWindow);
    EXPECT_EQ(messages[1].wparam, uintptr_t{kKeyEscape});
    EXPECT_EQ(messages[2].wparam, uintptr_t{kKeyF2});
    EXPECT_EQ(messages[3].message, kMsgSysKeyDown);  // F10 is a system key
    EXPECT_EQ(messages[4].message, kMsgSysKeyDown);
    EXPECT_EQ(messages[4].wparam, uintptr_t{'X'});
    EXPECT_NE(messages[4].lparam & kKeyFlagAlt, 0);
    EXPECT_NE(messages[5].lparam & kKeyFlagRepeat, 0);

    // A letter from a non-Latin layout still gives the key's letter.
    SDL_Event cyrillic = key_event(SDL_KEYDOWN, 0x0440);
    cyrillic.key.keysym.scancode = SDL_SCANCODE_H;
    translator.translate(cyrillic, kWindow, queue);
    EXPECT_EQ(drain(queue).at(0).wparam, uintptr_t{'H'});
    EXPECT_EQ(virtual_key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), kKeyReturn);
    EXPECT_EQ(virtual_key(SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP), kKeyUnmapped);
}

TEST(InputTranslation, AltAloneArrivesOnReleaseSoAltEnterIsOneSystemKey) {
    InputTranslator translator;
    MessageQueue queue;
    translator.translate(key_event(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT), kWindow, queue);
    translator.translate(key_event(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT), kWindow, queue);
    translator.translate(key_event(SDL_KEYUP, SDLK_RETURN, KMOD_LALT), kWindow, queue);
    translator.translate(key_event(SDL_KEYUP, SDLK_LALT), kWindow, queue);
    auto messages = drain(queue);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, kMsgSysKeyDown);
    EXPECT_EQ(messages[0].wparam, uintptr_t{kKeyReturn});
    uint16_t command = 0;
    ASSERT_TRUE(match_accelerator(kTable, 6, messages[0], command));
    EXPECT_EQ(command, 40003);

    translator.translate(key_event(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT), kWindow, queue);
    EXPECT_TRUE(queue.empty());
    translator.translate(key_event(SDL_KEYUP, SDLK_LALT), kWindow, queue);
    messages = drain(queue);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, kMsgSysKeyDown);
    EXPECT_EQ(messages[0].wparam, uintptr_t{kKeyAlt});
}

TEST(InputTranslation, AcceleratorsMatchKeyAndModifiersExactly) {
    uint16_t command = 0;
    const auto key = [](uint32_t message, uint32_t vk, intptr_t flags) {
        return Message{kWindow, message, vk, kKeyRepeatCount | flags};
    };
    EXPECT_TRUE(match_accelerator(kTable, 6, key(kMsgKeyDown, kKeyEscape, 0), command));
    EXPECT_EQ(command, 40006);
    EXPECT_TRUE(match_accelerator(kTable, 6, key(kMsgKeyDown, kKeySpace, 0), command));
    EXPECT_EQ(command, 40005);
    EXPECT_TRUE(match_accelerator(kTable, 6, key(kMsgSysKeyDown, 'X', kKeyFlagAlt), command));
    EXPECT_EQ(command, 40006);
    EXPECT_FALSE(match_accelerator(kTable, 6, key(kMsgKeyDown, 'X', 0), command));           // X needs Alt
    EXPECT_FALSE(match_accelerator(kTable, 6, key(kMsgKeyDown, kKeyReturn, 0), command));    // Enter needs Alt
    EXPECT_FALSE(match_accelerator(kTable, 6, key(kMsgSysKeyDown, 'P', kKeyFlagAlt), command));
    EXPECT_FALSE(match_accelerator(kTable, 6, key(kMsgKeyDown, 'P', kKeyFlagShift), command));
    EXPECT_FALSE(match_accelerator(kTable, 6, key(kMsgKeyDown, 'H', 0), command));
    EXPECT_FALSE(match_accelerator(kTable, 6, Message{kWindow, kMsgMouseMove, 0, 0}, command));
}

TEST(InputTranslation, MouseMovesClicksAndDoubleClicks) {
    InputTranslator translator;
    MessageQueue queue;
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = -3;
    motion.motion.y = 700;
    translator.translate(motion, kWindow, queue);
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.x = 5;
    button.button.y = 6;
    for (auto [which, clicks] : {std::pair{SDL_BUTTON_LEFT, 1}, {SDL_BUTTON_LEFT, 2}, {SDL_BUTTON_LEFT, 3},
                                 {SDL_BUTTON_RIGHT, 2}, {SDL_BUTTON_MIDDLE, 1}, {SDL_BUTTON_X1, 1}}) {
        button.button.button = static_cast<uint8_t>(which);
        button.button.clicks = static_cast<uint8_t>(clicks);
        translator.translate(button, kWindow, queue);
    }
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    translator.translate(wheel, kWindow, queue);

    const auto messages = drain(queue);
    ASSERT_EQ(messages.size(), 8u);
    EXPECT_EQ(messages[0].message, kMsgSetCursor);  // asked before every move
    EXPECT_EQ(messages[1].message, kMsgMouseMove);
    const auto x = static_cast<int16_t>(messages[1].lparam & 0xFFFF);
    const auto y = static_cast<int16_t>((messages[1].lparam >> 16) & 0xFFFF);
    EXPECT_EQ(x, -3);
    EXPECT_EQ(y, 700);
    EXPECT_EQ(messages[2].message, kMsgLButtonDown);
    EXPECT_EQ(messages[2].lparam, pack_point(5, 6));
    EXPECT_EQ(messages[3].message, kMsgLButtonDblClk);
    EXPECT_EQ(messages[4].message, kMsgLButtonDown);  // a third click starts again
    EXPECT_EQ(messages[5].message, kMsgRButtonDblClk);
    EXPECT_EQ(messages[6].message, kMsgMButtonDown);
    EXPECT_EQ(messages[7].message, kMsgMouseWheel);  // the extra button sent nothing
    EXPECT_EQ(static_cast<int16_t>(messages[7].wparam >> 16), -120);
}

TEST(MessageQueueTest, KeepsOrderDropsWhenFullAndForgetsAWindow) {
    MessageQueue queue;
    for (uint32_t i = 0; i < MessageQueue::kCapacity; ++i) {
        ASSERT_TRUE(queue.push(Message{i % 2 == 0 ? kWindow : kWindow + 1, kMsgPaint, i, 0}));
    }
    EXPECT_FALSE(queue.push(Message{kWindow, kMsgClose, 0, 0}));
    queue.pop();
    queue.remove_window(kWindow);
    uint32_t count = 0;
    uintptr_t previous = 0;
    while (!queue.empty()) {
        EXPECT_EQ(queue.front().window, kWindow + 1);
        EXPECT_GT(queue.front().wparam, previous);
        previous = queue.front().wparam;
        queue.pop();
        ++count;
    }
    EXPECT_EQ(count, MessageQueue::kCapacity / 2);
}

}  // namespace
