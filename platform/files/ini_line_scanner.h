// Reads a settings file line by line through the INI parser, telling for
// every physical line what it is: a value of which section, a section
// header, or other text, and whether it can be kept when the file is
// written again. Both the reading of values and the rewriting of the file go
// through this one scanner, so they always agree on what a line means.
#pragma once

#include <cstdint>

namespace platform::files {

// Bytes of a physical line the scanner holds in memory; longer lines are
// never parsed (a writer copies them from the file by their offset).
inline constexpr uint32_t kMaxLineBytes = 4096;
// Longest line (without its line end) that the INI parser reads whole;
// longer lines are not parsed.
inline constexpr uint32_t kMaxParsedLineBytes = 196;
// Largest file that is read at all; a larger file is treated as unreadable,
// so nothing may ever write a larger one.
inline constexpr int64_t kMaxFileBytes = 1 << 20;

struct ScannedLine {
    uint32_t index;        // 0 for the first line of the file
    const char* text;      // the line's first bytes, without the line feed; valid during the call
    uint32_t length;       // bytes of text: the whole line, or its first kMaxLineBytes
    int64_t offset;        // where the line starts in the file, bytes
    int64_t file_length;   // bytes of the whole line in the file, without the line feed
    bool is_header;        // a section header; one the parser cannot read (binary, too long)
                           // opens a section of no known name
    bool in_section;       // after this line the parser is inside the section asked for
    bool is_value;         // a name=value line of the section asked for
    const char* name;      // when is_value: the name as the parser read it
    const char* value;     // when is_value: the value text as the parser read it
};

using LineVisitor = void (*)(void* context, const ScannedLine& line);

// Scans the whole file open at `fd` (read from offset 0 with pread, so the
// descriptor's position is not used) and calls `visit` once per physical
// line, in order. `section` is matched without regard to ASCII case. Returns
// false when the file could not be read to its end.
bool scan_ini_lines(int fd, const char* section, LineVisitor visit, void* context);

// True when `a` and `b` are equal without regard to ASCII case.
bool same_name(const char* a, const char* b);

}  // namespace platform::files
