#include "platform/files/value_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform::files {

namespace {

constexpr uint64_t kMaxUnsigned32 = 0xFFFFFFFFull;
constexpr uint64_t kMaxNegated32 = 0x80000000ull;  // magnitude of the most negative 32-bit integer

bool is_hex_prefix(const char* text) {
    return text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Digits in `base` up to the end of the text, no larger than `limit`.
bool parse_digits(const char* text, uint32_t base, uint64_t limit, uint64_t& value) {
    if (*text == '\0') return false;
    value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const int digit = base == 16 ? hex_digit_value(*p) : (*p >= '0' && *p <= '9' ? *p - '0' : -1);
        if (digit < 0) return false;
        value = value * base + static_cast<uint64_t>(digit);
        if (value > limit) return false;
    }
    return true;
}

bool parse_hex_bits(const char* text, uint32_t& value) {
    uint64_t parsed = 0;
    if (!parse_digits(text + 2, 16, kMaxUnsigned32, parsed)) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

bool parse_integer_text(const char* text, uint32_t& value) {
    if (text == nullptr) return false;
    if (is_hex_prefix(text)) return parse_hex_bits(text, value);
    const bool negative = text[0] == '-';
    const char* digits = (text[0] == '-' || text[0] == '+') ? text + 1 : text;
    uint64_t magnitude = 0;
    if (!parse_digits(digits, 10, negative ? kMaxNegated32 : kMaxUnsigned32, magnitude)) return false;
    value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude)) : static_cast<uint32_t>(magnitude);
    return true;
}

bool parse_float_text(const char* text, uint32_t& bits) {
    if (text == nullptr) return false;
    if (is_hex_prefix(text)) return parse_hex_bits(text, bits);
    // from_chars takes no plus sign; a second sign after it is still refused.
    const char* first = text[0] == '+' && text[1] != '-' ? text + 1 : text;
    const char* last = first + std::strlen(first);
    if (first == last) return false;
    float value = 0.0f;
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last) return false;
    if (!std::isfinite(value)) return false;
    bits = std::bit_cast<uint32_t>(value);
    return true;
}

void format_integer_text(uint32_t value, char (&text)[kValueTextSize]) {
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<int32_t>(value)));
}

void format_float_text(uint32_t bits, char (&text)[kValueTextSize]) {
    const float value = std::bit_cast<float>(bits);
    if (!std::isfinite(value)) {
        std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(bits));
        return;
    }
    const std::to_chars_result result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = '\0';
}

}  // namespace platform::files
