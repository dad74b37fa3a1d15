#include "platform/sdl/sdl_event_translation.h"

namespace platform::sdl {

uint32_t virtual_key(SDL_Keycode key, SDL_Scancode scancode) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70u + static_cast<uint32_t>(key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return 0x7Cu + static_cast<uint32_t>(key - SDLK_F13);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61u + static_cast<uint32_t>(key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return kKeyReturn;
        case SDLK_ESCAPE: return kKeyEscape;
        case SDLK_SPACE: return kKeySpace;
        case SDLK_BACKSPACE: return 0x08;
        case SDLK_TAB: return 0x09;
        case SDLK_PAUSE: return 0x13;
        case SDLK_CAPSLOCK: return 0x14;
        case SDLK_PAGEUP: return 0x21;
        case SDLK_PAGEDOWN: return 0x22;
        case SDLK_END: return 0x23;
        case SDLK_HOME: return 0x24;
        case SDLK_LEFT: return 0x25;
        case SDLK_UP: return 0x26;
        case SDLK_RIGHT: return 0x27;
        case SDLK_DOWN: return 0x28;
        case SDLK_PRINTSCREEN: return 0x2C;
        case SDLK_INSERT: return 0x2D;
        case SDLK_DELETE: return 0x2E;
        case SDLK_LGUI: return 0x5B;
        case SDLK_RGUI: return 0x5C;
        case SDLK_APPLICATION: return 0x5D;
        case SDLK_KP_0: return 0x60;
        case SDLK_KP_MULTIPLY: return 0x6A;
        case SDLK_KP_PLUS: return 0x6B;
        case SDLK_KP_MINUS: return 0x6D;
        case SDLK_KP_PERIOD: return 0x6E;
        case SDLK_KP_DIVIDE: return 0x6F;
        case SDLK_NUMLOCKCLEAR: return 0x90;
        case SDLK_SCROLLLOCK: return 0x91;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return kKeyShift;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return kKeyControl;
        case SDLK_LALT:
        case SDLK_RALT: return kKeyAlt;
        case SDLK_SEMICOLON: return 0xBA;
        case SDLK_EQUALS: return 0xBB;
        case SDLK_COMMA: return 0xBC;
        case SDLK_MINUS: return 0xBD;
        case SDLK_PERIOD: return 0xBE;
        case SDLK_SLASH: return 0xBF;
        case SDLK_BACKQUOTE: return 0xC0;
        case SDLK_LEFTBRACKET: return 0xDB;
        case SDLK_BACKSLASH: return 0xDC;
        case SDLK_RIGHTBRACKET: return 0xDD;
        case SDLK_QUOTE: return 0xDE;
        default: break;
    }
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
        return static_cast<uint32_t>('A' + (scancode - SDL_SCANCODE_A));
    }
    return kKeyUnmapped;
}

intptr_t pack_point(int32_t x, int32_t y) {
    const uint32_t packed = (static_cast<uint32_t>(x) & 0xFFFFu) | ((static_cast<uint32_t>(y) & 0xFFFFu) << 16);
    return static_cast<intptr_t>(packed);
}

bool MessageQueue::push(const Message& message) {
    if (count_ == kCapacity) return false;
    items_[(head_ + count_) % kCapacity] = message;
    ++count_;
    return true;
}

void MessageQueue::pop() {
    if (count_ == 0) return;
    head_ = (head_ + 1) % kCapacity;
    --count_;
}

void MessageQueue::remove_window(NativeWindow window) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count_; ++i) {
        const Message item = items_[(head_ + i) % kCapacity];
        if (item.window != window) items_[(head_ + kept++) % kCapacity] = item;
    }
    count_ = kept;
}

namespace {

uintptr_t mouse_flags(uint32_t buttons, uint16_t modifiers) {
    uintptr_t flags = 0;
    if (buttons & SDL_BUTTON_LMASK) flags |= kMouseLeft;
    if (buttons & SDL_BUTTON_RMASK) flags |= kMouseRight;
    if (buttons & SDL_BUTTON_MMASK) flags |= kMouseMiddle;
    if (modifiers & KMOD_SHIFT) flags |= kMouseShift;
    if (modifiers & KMOD_CTRL) flags |= kMouseControl;
    return flags;
}

}  // namespace

bool InputTranslator::translate(const SDL_Event& event, NativeWindow window, MessageQueue& queue) {
    switch (event.type) {
        case SDL_KEYDOWN: {
            const SDL_Keysym& key = event.key.keysym;
            const uint32_t vk = virtual_key(key.sym, key.scancode);
            const bool alt = (key.mod & KMOD_ALT) != 0;
            if (vk == kKeyAlt) {
                alt_alone_ = event.key.repeat == 0 ? true : alt_alone_;
                return true;
            }
            alt_alone_ = false;
            intptr_t flags = kKeyRepeatCount;
            if (alt) flags |= kKeyFlagAlt;
            if (key.mod & KMOD_SHIFT) flags |= kKeyFlagShift;
            if (key.mod & KMOD_CTRL) flags |= kKeyFlagControl;
            if (event.key.repeat != 0) flags |= kKeyFlagRepeat;
            // Alt combinations and F10 are system keys.
            const uint32_t message = alt || vk == kKeyF10 ? kMsgSysKeyDown : kMsgKeyDown;
            queue.push(Message{window, message, vk, flags});
            return true;
        }
        case SDL_KEYUP: {
            const SDL_Keysym& key = event.key.keysym;
            if (virtual_key(key.sym, key.scancode) == kKeyAlt && alt_alone_) {
                alt_alone_ = false;
                queue.push(Message{window, kMsgSysKeyDown, kKeyAlt, kKeyRepeatCount | kKeyFlagAlt});
            }
            return true;
        }
        case SDL_MOUSEMOTION: {
            // The window is asked for its cursor before every move, as the
            // cursor enters or crosses it.
            queue.push(Message{window, kMsgSetCursor, static_cast<uintptr_t>(window),
                               static_cast<intptr_t>(kHitClient | (intptr_t{kMsgMouseMove} << 16))});
            queue.push(Message{window, kMsgMouseMove, mouse_flags(event.motion.state, SDL_GetModState()),
                               pack_point(event.motion.x, event.motion.y)});
            return true;
        }
        case SDL_MOUSEBUTTONDOWN: {
            const bool second_click = event.button.clicks >= 2 && event.button.clicks % 2 == 0;
            uint32_t message = 0;
            if (event.button.button == SDL_BUTTON_LEFT) message = second_click ? kMsgLButtonDblClk : kMsgLButtonDown;
            if (event.button.button == SDL_BUTTON_RIGHT) message = second_click ? kMsgRButtonDblClk : kMsgRButtonDown;
            if (event.button.button == SDL_BUTTON_MIDDLE) message = kMsgMButtonDown;
            if (message == 0) return true;  // extra buttons have no message
            const uint32_t buttons = SDL_BUTTON(event.button.button);
            queue.push(Message{window, message, mouse_flags(buttons, SDL_GetModState()),
                               pack_point(event.button.x, event.button.y)});
            return true;
        }
        case SDL_MOUSEWHEEL: {
            // The wheel's delta (120 per notch) in the high word of wParam.
            const auto delta = static_cast<int16_t>(event.wheel.y * 120);
            const uintptr_t wparam = static_cast<uintptr_t>(static_cast<uint16_t>(delta)) << 16;
            queue.push(Message{window, kMsgMouseWheel, wparam, pack_point(event.wheel.mouseX, event.wheel.mouseY)});
            return true;
        }
        case SDL_MOUSEBUTTONUP:
        case SDL_TEXTINPUT:
        case SDL_TEXTEDITING:
            return true;  // nothing the program listens to
        default:
            return false;
    }
}

bool match_accelerator(const Accelerator* table, int count, const Message& message, uint16_t& command) {
    if (table == nullptr || (message.message != kMsgKeyDown && message.message != kMsgSysKeyDown)) return false;
    const bool alt = (message.lparam & kKeyFlagAlt) != 0;
    if ((message.lparam & (kKeyFlagShift | kKeyFlagControl)) != 0) return false;
    for (int i = 0; i < count; ++i) {
        if (table[i].key == message.wparam && table[i].alt == alt) {
            command = table[i].command;
            return true;
        }
    }
    return false;
}

}  // namespace platform::sdl
