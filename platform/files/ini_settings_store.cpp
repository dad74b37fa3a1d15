#include "platform/files/ini_settings_store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/files/ini_line_scanner.h"
#include "platform/files/save_target.h"

namespace platform::files {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;
constexpr uint32_t kWriteBufferBytes = 4096;

// ---- reading ----

struct SectionSearch {
    bool found;
};

void note_section(void* context, const ScannedLine& line) {
    SectionSearch& search = *static_cast<SectionSearch*>(context);
    if (line.in_section) search.found = true;
}

struct ValueSearch {
    const char* name;
    char* text;
    uint32_t capacity;
    bool found;
};

// The last line of the value counts.
void note_value(void* context, const ScannedLine& line) {
    ValueSearch& search = *static_cast<ValueSearch*>(context);
    if (!line.is_value || !same_name(line.name, search.name)) return;
    std::snprintf(search.text, search.capacity, "%s", line.value);
    search.found = true;
}

bool is_name_byte(char c) {
    return c > ' ' && c < 0x7F && c != '=' && c != ':' && c != ';' && c != '#' && c != '[' && c != ']';
}

bool is_valid_name(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    uint32_t length = 0;
    for (const char* p = name; *p != '\0'; ++p, ++length) {
        if (!is_name_byte(*p) || length + 1 >= kMaxValueNameBytes) return false;
    }
    return true;
}

// ---- writing ----

struct FileWriter {
    int fd;
    char buffer[kWriteBufferBytes];
    uint32_t used;
    int error;        // errno of the first failure; 0 while all is well
    bool wrote_any;
    int64_t total;    // bytes put so far
};

void flush(FileWriter& writer) {
    uint32_t done = 0;
    while (writer.error == 0 && done < writer.used) {
        const ssize_t n = write(writer.fd, writer.buffer + done, writer.used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writer.error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    writer.used = 0;
}

void put(FileWriter& writer, const char* bytes, uint32_t length) {
    writer.wrote_any = writer.wrote_any || length > 0;
    // A file the reader would refuse is never written.
    writer.total += length;
    if (writer.total > kMaxFileBytes && writer.error == 0) writer.error = EFBIG;
    while (length > 0 && writer.error == 0) {
        if (writer.used == sizeof writer.buffer) flush(writer);
        const uint32_t room = static_cast<uint32_t>(sizeof writer.buffer) - writer.used;
        const uint32_t n = length < room ? length : room;
        std::memcpy(writer.buffer + writer.used, bytes, n);
        writer.used += n;
        bytes += n;
        length -= n;
    }
}

void put_text(FileWriter& writer, const char* text) {
    put(writer, text, static_cast<uint32_t>(std::strlen(text)));
}

void put_value_line(FileWriter& writer, const IniSettingsStore::PendingValue& value) {
    put_text(writer, value.name);
    put_text(writer, "=");
    put_text(writer, value.text);
    put_text(writer, "\n");
}

// What the old file holds, learnt before it is rewritten.
struct RewritePlan {
    const IniSettingsStore::PendingValue* pending;
    uint32_t pending_count;
    bool present[kMaxPendingValues];  // the value has a line in the section
    bool section_found;
    int64_t anchor;                   // new values go after this line; -1 when none
};

int32_t pending_index(const RewritePlan& plan, const char* name) {
    for (uint32_t i = 0; i < plan.pending_count; ++i) {
        if (same_name(plan.pending[i].name, name)) return static_cast<int32_t>(i);
    }
    return -1;
}

void plan_line(void* context, const ScannedLine& line) {
    RewritePlan& plan = *static_cast<RewritePlan*>(context);
    if (!line.in_section) return;
    plan.section_found = true;
    if (line.is_value) {
        const int32_t p = pending_index(plan, line.name);
        if (p >= 0) plan.present[p] = true;
        plan.anchor = line.index;
    } else if (line.is_header) {
        plan.anchor = line.index;
    }
}

struct Rewrite {
    const RewritePlan* plan;
    FileWriter* writer;
    int source_fd;    // the old file, for lines longer than the scanner holds
    bool copy_failed;
    bool written[kMaxPendingValues];
};

// Copies a line of the old file byte for byte, line feed added.
void copy_line(Rewrite& rewrite, const ScannedLine& line) {
    FileWriter& writer = *rewrite.writer;
    if (line.file_length == line.length) {
        put(writer, line.text, line.length);
    } else {
        char chunk[kWriteBufferBytes];
        for (int64_t done = 0; done < line.file_length && writer.error == 0;) {
            const int64_t left = line.file_length - done;
            const size_t want = left < static_cast<int64_t>(sizeof chunk) ? static_cast<size_t>(left) : sizeof chunk;
            const ssize_t got = pread(rewrite.source_fd, chunk, want, line.offset + done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                rewrite.copy_failed = true;
                return;
            }
            put(writer, chunk, static_cast<uint32_t>(got));
            done += got;
        }
    }
    put_text(writer, "\n");
}

// Writes the values not written yet; `only_new`: just those without a line
// of their own in the old file.
void put_unwritten_values(Rewrite& rewrite, bool only_new) {
    const RewritePlan& plan = *rewrite.plan;
    for (uint32_t i = 0; i < plan.pending_count; ++i) {
        if (rewrite.written[i] || (only_new && plan.present[i])) continue;
        put_value_line(*rewrite.writer, plan.pending[i]);
        rewrite.written[i] = true;
    }
}

bool has_unwritten_values(const Rewrite& rewrite) {
    for (uint32_t i = 0; i < rewrite.plan->pending_count; ++i) {
        if (!rewrite.written[i]) return true;
    }
    return false;
}

void rewrite_line(void* context, const ScannedLine& line) {
    Rewrite& rewrite = *static_cast<Rewrite*>(context);
    const RewritePlan& plan = *rewrite.plan;
    const int32_t p = line.is_value ? pending_index(plan, line.name) : -1;
    if (p < 0) {
        copy_line(rewrite, line);
    } else if (!rewrite.written[p]) {
        put_value_line(*rewrite.writer, plan.pending[p]);
        rewrite.written[p] = true;
    }
    if (static_cast<int64_t>(line.index) == plan.anchor) put_unwritten_values(rewrite, true);
}

// Creates the folders leading to `path` (mode 0700); 0 or an errno value.
int make_parent_folders(const char* path) {
    char folder[kMaxPathBytes];
    std::snprintf(folder, sizeof folder, "%s", path);
    char* last_slash = std::strrchr(folder, '/');
    if (last_slash == nullptr || last_slash == folder) return 0;
    *last_slash = '\0';
    for (char* p = folder + 1; ; ++p) {
        if (*p != '/' && *p != '\0') continue;
        const char saved = *p;
        *p = '\0';
        if (mkdir(folder, kFolderMode) != 0 && errno != EEXIST) return errno;
        *p = saved;
        if (saved == '\0') return 0;
    }
}

// Makes the rename itself durable; a failure here loses nothing that a
// reader could see, so it is not reported.
void sync_parent_folder(const char* path) {
    char folder[kMaxPathBytes];
    std::snprintf(folder, sizeof folder, "%s", path);
    char* last_slash = std::strrchr(folder, '/');
    if (last_slash == nullptr) return;
    if (last_slash == folder) last_slash[1] = '\0'; else *last_slash = '\0';
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

void report_save_failure(const char* path, int error) {
    if (error == EFBIG) {
        std::fprintf(stderr, "aquarium: could not save the settings to %s: it would grow over %lld bytes\n", path,
                     static_cast<long long>(kMaxFileBytes));
        return;
    }
    std::fprintf(stderr, "aquarium: could not save the settings to %s: %s\n", path, std::strerror(error));
}

void report_unreadable(const char* path, const char* why) {
    std::fprintf(stderr,
                 "aquarium: cannot read the settings file %s (%s); using the defaults and leaving the file as it is\n",
                 path, why);
}

}  // namespace

IniSettingsStore::IniSettingsStore(const char* path, const char* section)
    : path_{}, section_{}, usable_(false), open_(false), snapshot_fd_(-1), file_state_(FileState::missing),
      unreadable_reported_(false), section_found_(false), write_on_close_(false), pending_{}, pending_count_(0) {
    const int path_length = std::snprintf(path_, sizeof path_, "%s", path != nullptr ? path : "");
    const int section_length = std::snprintf(section_, sizeof section_, "%s", section != nullptr ? section : "");
    usable_ = path_length > 0 && static_cast<uint32_t>(path_length) < sizeof path_ &&
              section_length > 0 && static_cast<uint32_t>(section_length) < sizeof section_;
}

IniSettingsStore::~IniSettingsStore() {
    close_snapshot();
}

Result IniSettingsStore::open_snapshot() {
    close_snapshot();
    section_found_ = false;
    file_state_ = FileState::unreadable;
    const char* why = nullptr;
    const int fd = open(path_, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info;
    if (fd < 0) {
        if (errno == ENOENT) {
            file_state_ = FileState::missing;
            return kFail;
        }
        why = std::strerror(errno);
    } else if (fstat(fd, &info) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
    } else if (info.st_size > kMaxFileBytes) {
        why = "larger than 1 MiB";
    } else {
        snapshot_fd_ = fd;
        SectionSearch search{false};
        if (scan_ini_lines(snapshot_fd_, section_, note_section, &search)) {
            file_state_ = FileState::readable;
            section_found_ = search.found;
            return kOk;
        }
        why = "it could not be read to its end";
        snapshot_fd_ = -1;
    }
    if (fd >= 0) close(fd);
    if (!unreadable_reported_) report_unreadable(path_, why);
    unreadable_reported_ = true;
    return kFail;
}

void IniSettingsStore::close_snapshot() {
    if (snapshot_fd_ >= 0) close(snapshot_fd_);
    snapshot_fd_ = -1;
}

Result IniSettingsStore::create_key(bool& created) {
    created = false;
    if (!usable_ || open_) return kFail;
    // Only a missing file is a missing key: a file that is there but cannot
    // be read is never replaced.
    if (failed(open_snapshot()) && file_state_ != FileState::missing) return kFail;
    open_ = true;
    pending_count_ = 0;
    created = !section_found_;
    write_on_close_ = created;
    return kOk;
}

Result IniSettingsStore::open_key() {
    if (!usable_ || open_) return kFail;
    if (failed(open_snapshot()) || !section_found_) {
        close_snapshot();
        return kFail;
    }
    open_ = true;
    pending_count_ = 0;
    write_on_close_ = false;
    return kOk;
}

bool IniSettingsStore::find_value_text(const char* name, char* text, uint32_t capacity) {
    if (!open_ || name == nullptr) return false;
    for (uint32_t i = pending_count_; i-- > 0;) {
        if (same_name(pending_[i].name, name)) {
            std::snprintf(text, capacity, "%s", pending_[i].text);
            return true;
        }
    }
    if (snapshot_fd_ < 0) return false;
    ValueSearch search{name, text, capacity, false};
    if (!scan_ini_lines(snapshot_fd_, section_, note_value, &search)) return false;
    return search.found;
}

bool IniSettingsStore::read_value(const char* name, uint32_t& value) {
    char text[kMaxParsedLineBytes + 1];
    return find_value_text(name, text, sizeof text) && parse_integer_text(text, value);
}

bool IniSettingsStore::read_float_value(const char* name, uint32_t& bits) {
    char text[kMaxParsedLineBytes + 1];
    return find_value_text(name, text, sizeof text) && parse_float_text(text, bits);
}

Result IniSettingsStore::remember_write(const char* name, const char* text) {
    if (!open_ || !is_valid_name(name)) return kFail;
    uint32_t slot = 0;
    while (slot < pending_count_ && !same_name(pending_[slot].name, name)) ++slot;
    if (slot == pending_count_) {
        if (pending_count_ == kMaxPendingValues) return kFail;
        ++pending_count_;
    }
    std::snprintf(pending_[slot].name, sizeof pending_[slot].name, "%s", name);
    std::snprintf(pending_[slot].text, sizeof pending_[slot].text, "%s", text);
    return kOk;
}

Result IniSettingsStore::write_value(const char* name, uint32_t value) {
    char text[kValueTextSize];
    format_integer_text(value, text);
    return remember_write(name, text);
}

Result IniSettingsStore::write_float_value(const char* name, uint32_t bits) {
    char text[kValueTextSize];
    format_float_text(bits, text);
    return remember_write(name, text);
}

Result IniSettingsStore::close_key() {
    if (!open_) return kFail;
    Result result = kOk;
    if (pending_count_ > 0 || write_on_close_) result = commit();
    close_snapshot();
    open_ = false;
    pending_count_ = 0;
    write_on_close_ = false;
    return result;
}

Result IniSettingsStore::commit() {
    int error = make_parent_folders(path_);
    if (error != 0) {
        report_save_failure(path_, error);
        return kFail;
    }
    static SaveTarget target;  // large; one save at a time
    const SaveTargetStatus target_status = find_save_target(path_, target);
    if (target_status != SaveTargetStatus::ok) {
        std::fprintf(stderr, "aquarium: the settings are not saved to %s: %s\n", path_,
                     save_target_problem(target_status));
        return kFail;
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    remove_stale_temporaries(target.path, now);
    if (target.through_link) remove_stale_temporaries(path_, now);

    RewritePlan plan{};
    plan.pending = pending_;
    plan.pending_count = pending_count_;
    plan.anchor = -1;
    if (snapshot_fd_ >= 0 && !scan_ini_lines(snapshot_fd_, section_, plan_line, &plan)) {
        report_save_failure(path_, EIO);
        return kFail;
    }

    char temporary[kMaxPathBytes + sizeof kTemporarySuffix];
    std::snprintf(temporary, sizeof temporary, "%s%s", target.path, kTemporarySuffix);
    const int fd = mkostemp(temporary, O_CLOEXEC);
    if (fd < 0) {
        report_save_failure(path_, errno);
        return kFail;
    }
    FileWriter writer;
    writer.fd = fd;
    writer.used = 0;
    writer.error = 0;
    writer.wrote_any = false;
    writer.total = 0;

    Rewrite rewrite{&plan, &writer, snapshot_fd_, false, {}};
    bool copied = true;
    if (snapshot_fd_ >= 0) copied = scan_ini_lines(snapshot_fd_, section_, rewrite_line, &rewrite);
    // A section that did not exist (or, should the old file have changed
    // under us, values that found no place) goes at the end.
    if (!plan.section_found || has_unwritten_values(rewrite)) {
        if (writer.wrote_any) put_text(writer, "\n");
        put_text(writer, "[");
        put_text(writer, section_);
        put_text(writer, "]\n");
        put_unwritten_values(rewrite, false);
    }
    flush(writer);

    error = writer.error;
    if (error == 0 && (!copied || rewrite.copy_failed)) error = EIO;
    if (error == 0 && fchmod(fd, kFileMode) != 0) error = errno;
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(temporary, target.path) != 0) error = errno;
    if (error != 0) {
        unlink(temporary);
        report_save_failure(path_, error);
        return kFail;
    }
    sync_parent_folder(target.path);
    return kOk;
}

}  // namespace platform::files
