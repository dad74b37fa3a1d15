#include "platform/win32/registry_settings_store.h"

#include <windows.h>

namespace platform::win32 {
namespace {

HKEY as_key(void* key) { return static_cast<HKEY>(key); }

}  // namespace

Result RegistrySettingsStore::create_key(bool& created) {
    close_key();
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, key_path_, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS) return kFail;
    key_ = key;
    created = disposition == REG_CREATED_NEW_KEY;
    return kOk;
}

Result RegistrySettingsStore::open_key() {
    close_key();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path_, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return kFail;
    }
    key_ = key;
    return kOk;
}

bool RegistrySettingsStore::read_value(const char* name, uint32_t& value) {
    if (key_ == nullptr) return false;
    // The buffer holds exactly one DWORD and the size says so: a longer value
    // fails with ERROR_MORE_DATA instead of being read past.
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG status = RegQueryValueExA(as_key(key_), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return false;
    value = data;
    return true;
}

Result RegistrySettingsStore::write_value(const char* name, uint32_t value) {
    if (key_ == nullptr) return kInvalidCall;
    const DWORD data = value;
    const LONG status =
        RegSetValueExA(as_key(key_), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    return status == ERROR_SUCCESS ? kOk : kFail;
}

Result RegistrySettingsStore::close_key() {
    if (key_ == nullptr) return kOk;
    const LONG status = RegCloseKey(as_key(key_));
    key_ = nullptr;
    return status == ERROR_SUCCESS ? kOk : kFail;
}

}  // namespace platform::win32
