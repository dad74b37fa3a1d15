// A settings store that holds nothing: reads find no value and writes are
// dropped. For runs that must not touch the user's settings, and for when
// there is no place to keep them.
#pragma once

#include "platform/settings_store.h"

namespace platform::files {

class EmptySettingsStore final : public SettingsStore {
public:
    Result create_key(bool& created) override {
        created = false;
        return kOk;
    }
    Result open_key() override { return kOk; }
    bool read_value(const char*, uint32_t&) override { return false; }
    Result write_value(const char*, uint32_t) override { return kOk; }
    Result close_key() override { return kOk; }
};

}  // namespace platform::files
