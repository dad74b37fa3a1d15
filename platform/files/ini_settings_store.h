// The settings store in an INI file: the key is one section of the file,
// each value one name=value line in it (see value_text.h for the forms).
//
// Nothing else in the file is lost: saving rewrites only the lines of the
// values written and copies every other line byte for byte, whatever it
// holds (binary bytes, lines too long to be read). A section header that
// cannot be read opens a section of no known name, so the lines under it
// never count as values of the section above. Values are matched, like the
// section, without regard to ASCII case; when a value appears more than
// once, the last line counts for reading and the first is rewritten (the
// others are dropped) on saving.
//
// Only a missing file is a missing key. A file that is there but cannot be
// read (no permission, not a regular file, larger than 1 MiB) is never
// replaced: the key cannot be opened or created, nothing is saved, and the
// store says so once on standard error.
//
// Each save is atomic: the new file is written to a temporary file in the
// same folder (mode 0600), flushed to disk and renamed over the old one, so
// a crash leaves either the old file or the new one; temporary files left
// by a save that was killed are removed by a later save once they are old.
// A save that would make the file larger than the reader accepts fails.
// A symbolic link is written through only when it leads to one of the
// user's own files (see save_target.h). Failures to save are reported on
// standard error.
#pragma once

#include <cstdint>

#include "platform/files/settings_file_path.h"
#include "platform/files/value_text.h"
#include "platform/settings_store.h"

namespace platform::files {

inline constexpr uint32_t kMaxSectionBytes = 64;      // bytes of the key's name, with the zero
inline constexpr uint32_t kMaxValueNameBytes = 64;    // bytes of a value's name, with the zero
inline constexpr uint32_t kMaxPendingValues = 32;     // values written while the key is open

class IniSettingsStore final : public SettingsStore {
public:
    // `path`: the settings file; `section`: the key's name. Both are copied.
    IniSettingsStore(const char* path, const char* section);
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    Result create_key(bool& created) override;
    Result open_key() override;
    bool read_value(const char* name, uint32_t& value) override;
    Result write_value(const char* name, uint32_t value) override;
    bool read_float_value(const char* name, uint32_t& bits) override;
    Result write_float_value(const char* name, uint32_t bits) override;
    Result close_key() override;

    const char* path() const { return path_; }

    // A value written while the key is open, kept as the text it will have.
    struct PendingValue {
        char name[kMaxValueNameBytes];
        char text[kValueTextSize];
    };

private:
    Result open_snapshot();
    void close_snapshot();
    bool find_value_text(const char* name, char* text, uint32_t capacity);
    Result remember_write(const char* name, const char* text);
    Result commit();

    char path_[kMaxPathBytes];
    char section_[kMaxSectionBytes];
    bool usable_;                  // path and section fit their buffers
    bool open_;                    // the key is open
    int snapshot_fd_;              // the file as it was when the key was opened; -1 when there is none
    enum class FileState { missing, readable, unreadable };
    FileState file_state_;         // what the last look at the file found
    bool unreadable_reported_;     // the unreadable file was reported on standard error
    bool section_found_;           // the snapshot holds the key's section
    bool write_on_close_;          // the key was created: store it even with nothing written
    PendingValue pending_[kMaxPendingValues];
    uint32_t pending_count_;
};

}  // namespace platform::files
