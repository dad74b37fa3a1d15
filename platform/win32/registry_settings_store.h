// The settings store on a registry key under HKEY_CURRENT_USER: every value
// is a REG_DWORD. A value of another type or size reads as missing.
#pragma once

#include <cstdint>

#include "platform/settings_store.h"

namespace platform::win32 {

class RegistrySettingsStore final : public SettingsStore {
public:
    // `key_path` below HKEY_CURRENT_USER, e.g. "Software\\name"; kept, not copied.
    explicit RegistrySettingsStore(const char* key_path) : key_path_(key_path) {}
    ~RegistrySettingsStore() override { close_key(); }
    RegistrySettingsStore(const RegistrySettingsStore&) = delete;
    RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

    Result create_key(bool& created) override;
    Result open_key() override;
    bool read_value(const char* name, uint32_t& value) override;
    Result write_value(const char* name, uint32_t value) override;
    Result close_key() override;

private:
    const char* key_path_;
    void* key_ = nullptr;  // HKEY of the open key
};

}  // namespace platform::win32
