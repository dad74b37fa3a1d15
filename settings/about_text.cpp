// The about text is kept as one stored code per character: the character
// plus a key that depends only on its position,
//     key(i) = 7 * (i mod 5) + 3 * (i mod 7) + 11 * (i mod 3) + 1,
// and decoded at run time by subtracting the key again.
//
// To change the text, write the new 213 characters (first line under 80
// characters, no line feed after the last character) to about.txt and print
// the new table with:
//     python3 - about.txt <<'END'
//     import sys
//     t = open(sys.argv[1], newline="").read()
//     assert len(t) == 213 and 0 < t.index("\n") < 80
//     print(", ".join(str(ord(c) + 7*(i%5) + 3*(i%7) + 11*(i%3) + 1) for i, c in enumerate(t)))
//     END
#include "settings/about_text.h"

namespace settings {

namespace {

constexpr uint8_t kStoredCodes[kAboutTextLength] = {
     66, 135, 160, 128, 166, 143, 143, 135,  79,  80,  53, 139,
     62, 166, 162, 106, 141,  91, 132, 166, 141, 113, 130, 150,
     70, 126, 150, 148, 137,  86, 112, 138,  81, 134,  90, 142,
    116, 146, 154,  86, 129, 162, 112, 145, 158,  42, 147, 149,
    150, 147,  36,  79,  67, 171, 143, 144, 131, 119, 149,  92,
    128, 131, 173, 123, 157,  87,  49, 157, 156, 165, 113, 148,
     53, 156, 180, 126,  69, 134, 133, 157, 142, 123,  73, 178,
    133, 116,  68, 126, 150, 181, 123,  58, 155,  60, 164, 147,
    128, 154, 145,  64, 115, 149, 127,  80, 185, 105, 123,  75,
    150, 149, 154, 127, 140,  79, 147, 138, 157, 134, 152, 166,
     36, 130, 162,  66, 166, 151,  54,  39, 122,  85, 100, 103,
     65, 151, 159, 108, 147,  81, 154, 170,  70, 111, 143, 172,
    151,  71,  80,  98,  94,  89, 115, 141, 154, 151,  72, 142,
    115, 155, 172,  90,  62,  95, 128, 160,  92, 124, 150, 159,
    123, 157,  61, 124, 139, 180,  91,  44, 130,  53, 141, 171,
    121, 136, 144,  57, 157, 146,  52, 150, 173, 147, 120, 146,
    127,  77, 182, 123, 120,  72, 137, 160, 152, 138, 145,  76,
    147, 134, 150, 139, 163, 101, 106, 138,  89,
};

constexpr char kLineFeed = '\n';
constexpr const char* kAboutCaption = "About";

// The number at `position` of the stored sequence.
int32_t stored_code_at(uint32_t position) {
    return position < kAboutTextLength ? kStoredCodes[position] : 0;
}

int32_t key_at(uint32_t position) {
    return 7 * static_cast<int32_t>(position % 5) + 3 * static_cast<int32_t>(position % 7) +
           11 * static_cast<int32_t>(position % 3) + 1;
}

}  // namespace

platform::Result decode_about_text(char* buffer, uint32_t capacity) {
    if (buffer == nullptr || capacity == 0) return platform::kFail;
    if (capacity < kAboutTextLength + 1) {
        buffer[0] = '\0';
        return platform::kFail;
    }
    for (uint32_t i = 0; i < kAboutTextLength; ++i) {
        buffer[i] = static_cast<char>(stored_code_at(i) - key_at(i));
    }
    buffer[kAboutTextLength] = '\0';
    return platform::kOk;
}

void title_from_about_text(char* title, uint32_t capacity) {
    if (title == nullptr || capacity == 0) return;
    char text[kAboutBoxBufferSize];
    decode_about_text(text, sizeof text);
    uint32_t length = 0;
    while (length + 1 < capacity && text[length] != '\0' && text[length] != kLineFeed) {
        title[length] = text[length];
        ++length;
    }
    title[length] = '\0';
}

int32_t show_about_box(platform::MessageBoxes& message_boxes, platform::NativeWindow owner) {
    char text[kAboutBoxBufferSize];
    decode_about_text(text, sizeof text);
    return message_boxes.show(owner, text, kAboutCaption, platform::kBoxOk);
}

}  // namespace settings
