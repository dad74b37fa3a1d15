#include "platform/power/power_supplies.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace platform::power {
namespace {

constexpr size_t kPathBytes = 512;
constexpr size_t kValueBytes = 32;  // the longest value read is a status word
constexpr size_t kListingBytes = 4096;

// The first line of `folder`/`supply`/`file`; empty when the file is missing.
void read_value(const char* folder, const char* supply, const char* file, char (&value)[kValueBytes]) {
    value[0] = '\0';
    char path[kPathBytes];
    const int length = std::snprintf(path, sizeof path, "%s/%s/%s", folder, supply, file);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t got = read(fd, value, sizeof value - 1);
    close(fd);
    if (got <= 0) return;
    value[got] = '\0';
    value[std::strcspn(value, "\n")] = '\0';
}

bool is(const char* value, const char* word) { return std::strcmp(value, word) == 0; }

bool is_mains_type(const char* type) {
    return is(type, "Mains") || is(type, "Wireless") || std::strncmp(type, "USB", 3) == 0;
}

struct Supplies {
    bool battery_discharging = false;
    bool mains_online = false;
};

void look_at(const char* folder, const char* supply, Supplies& found) {
    char type[kValueBytes];
    char value[kValueBytes];
    read_value(folder, supply, "type", type);
    if (is(type, "Battery")) {
        read_value(folder, supply, "scope", value);
        if (is(value, "Device")) return;
        read_value(folder, supply, "status", value);
        if (is(value, "Discharging")) found.battery_discharging = true;
    } else if (is_mains_type(type)) {
        read_value(folder, supply, "online", value);
        if (is(value, "1")) found.mains_online = true;
    }
}

}  // namespace

bool runs_on_battery(const char* folder) {
    if (folder == nullptr) return false;
    const int listing = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return false;
    Supplies found;
    // The folder is listed with getdents64 into a buffer of our own:
    // opendir would allocate on every reading.
    alignas(alignof(dirent64)) char entries[kListingBytes];
    for (;;) {
        const ssize_t got = getdents64(listing, entries, sizeof entries);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            if (entry->d_reclen == 0) break;
            at += entry->d_reclen;
            if (entry->d_name[0] != '.') look_at(folder, entry->d_name, found);
        }
    }
    close(listing);
    return found.battery_discharging && !found.mains_online;
}

}  // namespace platform::power
