#include "platform/files/ini_line_scanner.h"

#include <errno.h>
#include <ini.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform::files {

namespace {

constexpr uint32_t kChunkBytes = 4096;
constexpr uint32_t kMaxNameBytes = 64;    // the parser cuts names at 50 bytes
constexpr uint32_t kMaxValueBytes = kMaxParsedLineBytes + 1;
constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
// Fed to the parser after a section header, so that the section the parser
// then stands in is learnt from the parser itself.
constexpr const char kProbeLine[] = "section-probe=1\n";
// Fed instead of a section header the parser cannot read: the lines after
// it then belong to a section of no name, not to the section above.
constexpr const char kUnknownSectionLine[] = "[]\n";

struct ScanState {
    int fd;
    int64_t offset;           // bytes read so far
    bool read_failed;
    bool at_end;
    char chunk[kChunkBytes];
    uint32_t chunk_length;
    uint32_t chunk_position;

    const char* section;
    LineVisitor visit;
    void* context;

    // The physical line being parsed.
    uint32_t lines_read;      // physical lines read so far
    bool have_line;
    char line[kMaxLineBytes];
    uint32_t line_length;
    bool line_too_long;       // longer than the line buffer: cut
    int64_t line_offset;      // where the line starts in the file
    int64_t line_file_length; // bytes of the whole line
    ScannedLine current;
    char name[kMaxNameBytes];
    char value[kMaxValueBytes];

    bool in_section;          // the parser stands in the section asked for
    bool probe_next;          // the next line fed is the probe
    bool feeding_probe;       // the parser is reading the probe
};

bool is_binary_byte(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7F;
}

bool fill_chunk(ScanState& state) {
    while (true) {
        const ssize_t got = pread(state.fd, state.chunk, sizeof state.chunk, state.offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            state.read_failed = true;
            return false;
        }
        if (got == 0) {
            state.at_end = true;
            return false;
        }
        state.offset += got;
        // A file of exactly kMaxFileBytes is read whole; one byte more is too much.
        if (state.offset > kMaxFileBytes) {
            state.read_failed = true;
            return false;
        }
        state.chunk_length = static_cast<uint32_t>(got);
        state.chunk_position = 0;
        return true;
    }
}

// Reads the next physical line into state.line; false at the end of the file.
bool read_physical_line(ScanState& state) {
    state.line_length = 0;
    state.line_too_long = false;
    state.line_offset = state.offset - state.chunk_length + state.chunk_position;
    state.line_file_length = 0;
    bool got_any = false;
    while (true) {
        if (state.chunk_position == state.chunk_length) {
            if (state.at_end || state.read_failed || !fill_chunk(state)) return got_any;
        }
        const char c = state.chunk[state.chunk_position++];
        got_any = true;
        if (c == '\n') return true;
        ++state.line_file_length;
        if (state.line_length < sizeof state.line) {
            state.line[state.line_length++] = c;
        } else {
            state.line_too_long = true;
        }
    }
}

// Hands the finished line to the visitor.
void finish_line(ScanState& state) {
    if (!state.have_line) return;
    state.have_line = false;
    state.visit(state.context, state.current);
}

// Where the line's content starts: after a byte-order mark on the first
// line and after leading blanks.
uint32_t content_start(const ScanState& state) {
    uint32_t start = 0;
    if (state.current.index == 0 && state.line_length >= sizeof kByteOrderMark &&
        std::memcmp(state.line, kByteOrderMark, sizeof kByteOrderMark) == 0) {
        start = sizeof kByteOrderMark;
    }
    while (start < state.line_length && (state.line[start] == ' ' || state.line[start] == '\t')) ++start;
    return start;
}

char* feed_text(char* out, int capacity, const char* text, uint32_t length) {
    const uint32_t room = capacity > 1 ? static_cast<uint32_t>(capacity - 1) : 0;
    const uint32_t n = std::min(length, room);
    std::memcpy(out, text, n);
    out[n] = '\0';
    return out;
}

// The parser's reader: one physical line per call, with the probe after a
// section header. Lines the parser must not see (binary, too long) are fed
// as empty lines so that the parser's line count stays in step, or as a
// header of no name when they look like a header.
char* read_line_for_parser(char* out, int capacity, void* stream) {
    ScanState& state = *static_cast<ScanState*>(stream);
    if (state.probe_next) {
        state.probe_next = false;
        state.feeding_probe = true;
        return feed_text(out, capacity, kProbeLine, sizeof kProbeLine - 1);
    }
    state.feeding_probe = false;
    finish_line(state);
    if (!read_physical_line(state)) return nullptr;

    ScannedLine& line = state.current;
    line = ScannedLine{};
    line.index = state.lines_read++;
    line.text = state.line;
    line.length = state.line_length;
    line.offset = state.line_offset;
    line.file_length = state.line_file_length;
    line.in_section = state.in_section;
    state.have_line = true;

    bool binary = false;
    for (uint32_t i = 0; i < state.line_length && !binary; ++i) {
        binary = is_binary_byte(static_cast<unsigned char>(state.line[i]));
    }
    const uint32_t start = content_start(state);
    const uint32_t content_length = state.line_length - start;
    const char first = start < state.line_length ? state.line[start] : '\0';
    const uint32_t parser_limit =
        std::min(kMaxParsedLineBytes, capacity > 3 ? static_cast<uint32_t>(capacity - 3) : 0u);
    const bool too_long = state.line_too_long || content_length > parser_limit;

    if (binary || too_long) {
        if (first == '[') {
            line.is_header = true;
            state.probe_next = true;
            return feed_text(out, capacity, kUnknownSectionLine, sizeof kUnknownSectionLine - 1);
        }
        return feed_text(out, capacity, "\n", 1);
    }
    line.is_header = first == '[';
    if (line.is_header) state.probe_next = true;
    // Leading blanks are dropped: an indented line is read like any other
    // rather than as the continuation of the previous value.
    const uint32_t fed = std::min(content_length, parser_limit);
    std::memcpy(out, state.line + start, fed);
    out[fed] = '\n';
    out[fed + 1] = '\0';
    return out;
}

int handle_parsed_value(void* user, const char* section, const char* name, const char* value) {
    ScanState& state = *static_cast<ScanState*>(user);
    const bool ours = same_name(section, state.section);
    state.in_section = ours;
    state.current.in_section = ours;
    if (state.feeding_probe || !ours) return 1;
    std::snprintf(state.name, sizeof state.name, "%s", name);
    std::snprintf(state.value, sizeof state.value, "%s", value != nullptr ? value : "");
    state.current.is_value = true;
    state.current.name = state.name;
    state.current.value = state.value;
    return 1;
}

}  // namespace

bool same_name(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

bool scan_ini_lines(int fd, const char* section, LineVisitor visit, void* context) {
    static_assert(sizeof(ScanState) < 16384, "the scan state lives on the stack");
    ScanState state{};
    state.fd = fd;
    state.section = section;
    state.visit = visit;
    state.context = context;
    ini_parse_stream(read_line_for_parser, &state, handle_parsed_value, &state);
    finish_line(state);
    return !state.read_failed;
}

}  // namespace platform::files
