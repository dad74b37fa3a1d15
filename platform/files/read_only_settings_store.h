// A settings store that reads another store and writes nothing: reads find
// what the other store holds, writes are dropped, and a missing key is not
// created. For runs that use the user's settings but must never change them
// (a module that its host may start several times and end at any moment).
#pragma once

#include "platform/settings_store.h"

namespace platform::files {

class ReadOnlySettingsStore final : public SettingsStore {
public:
    explicit ReadOnlySettingsStore(SettingsStore& store) : store_(store) {}

    // Opens the key when it exists; never creates it.
    Result create_key(bool& created) override {
        created = false;
        open_ = succeeded(store_.open_key());
        return kOk;
    }
    Result open_key() override {
        open_ = succeeded(store_.open_key());
        return open_ ? kOk : kFail;
    }
    bool read_value(const char* name, uint32_t& value) override { return open_ && store_.read_value(name, value); }
    bool read_float_value(const char* name, uint32_t& bits) override {
        return open_ && store_.read_float_value(name, bits);
    }
    Result write_value(const char*, uint32_t) override { return kOk; }
    Result write_float_value(const char*, uint32_t) override { return kOk; }
    Result close_key() override {
        if (!open_) return kOk;
        open_ = false;
        return store_.close_key();  // nothing was written, so nothing is stored
    }

private:
    SettingsStore& store_;
    bool open_ = false;
};

}  // namespace platform::files
