// Turning SDL's input events into the window messages of the window system:
// virtual keys, key and system-key messages with their flags, mouse moves
// with packed client coordinates, button presses and double clicks; and the
// accelerator table that turns some keys into commands. Also the queue the
// messages wait in. Plain functions and records.
#pragma once

#include <SDL2/SDL_events.h>

#include <cstdint>

#include "platform/window_system.h"

namespace platform::sdl {

// Flags in the lParam of key messages. Bit 29 (Alt held) and bit 30 (key
// was already down) are the usual ones; bits 25 and 26, otherwise unused,
// carry Shift and Ctrl so that the accelerator table can be matched exactly.
inline constexpr intptr_t kKeyRepeatCount = 1;
inline constexpr intptr_t kKeyFlagShift = intptr_t{1} << 25;
inline constexpr intptr_t kKeyFlagControl = intptr_t{1} << 26;
inline constexpr intptr_t kKeyFlagAlt = intptr_t{1} << 29;
inline constexpr intptr_t kKeyFlagRepeat = intptr_t{1} << 30;

// Mouse-button flags in the wParam of mouse messages.
inline constexpr uintptr_t kMouseLeft = 0x01;
inline constexpr uintptr_t kMouseRight = 0x02;
inline constexpr uintptr_t kMouseShift = 0x04;
inline constexpr uintptr_t kMouseControl = 0x08;
inline constexpr uintptr_t kMouseMiddle = 0x10;

inline constexpr uint32_t kKeyShift = 0x10;
inline constexpr uint32_t kKeyControl = 0x11;
inline constexpr uint32_t kKeyF10 = 0x79;
inline constexpr uint32_t kKeyUnmapped = 0xFF;  // a key without a virtual key of its own

// The virtual key of an SDL key; letters by their position when the layout
// gives no Latin letter. Keys without an equivalent give kKeyUnmapped.
uint32_t virtual_key(SDL_Keycode key, SDL_Scancode scancode);

// lParam of a mouse message: x in the low 16 bits, y in the high 16 bits.
intptr_t pack_point(int32_t x, int32_t y);

// Fixed-capacity queue of messages waiting to be taken. When full, the
// newest message is dropped (the queue holds far more than a frame brings).
class MessageQueue {
public:
    static constexpr uint32_t kCapacity = 512;
    bool push(const Message& message);
    bool empty() const { return count_ == 0; }
    const Message& front() const { return items_[head_]; }
    void pop();
    // Drops every message of `window`.
    void remove_window(NativeWindow window);

private:
    Message items_[kCapacity] = {};
    uint32_t head_ = 0;
    uint32_t count_ = 0;
};

// Keyboard and mouse translation with the little memory it needs: whether
// Alt was pressed on its own. Alt alone sends nothing when pressed, so that
// Alt+Enter arrives as one system key; released without another key, it
// arrives as the system-key message of Alt.
class InputTranslator {
public:
    // Adds the messages for one SDL keyboard or mouse event of `window`
    // (client coordinates); false when the event is not one of those.
    bool translate(const SDL_Event& event, NativeWindow window, MessageQueue& queue);

private:
    bool alt_alone_ = false;
};

// True when `message` is a key message bound in the table; `command` is then
// the entry's command id. Entries without Alt match only without Alt; Shift
// and Ctrl must not be held.
bool match_accelerator(const Accelerator* table, int count, const Message& message, uint16_t& command);

}  // namespace platform::sdl
