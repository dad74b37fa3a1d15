#include "tests/support/fake_settings_store.h"

#include <cstring>

namespace test_support {

void FakeSettingsStore::record(std::string call) {
    if (journal != nullptr) journal->push_back("settings:" + call);
    calls.push_back(std::move(call));
}

std::vector<std::string> FakeSettingsStore::written_names() const {
    std::vector<std::string> names;
    for (const std::string& c : calls) {
        if (c.rfind("write ", 0) == 0) names.push_back(c.substr(6));
    }
    return names;
}

platform::Result FakeSettingsStore::create_key(bool& created) {
    record("create_key");
    created = false;
    if (platform::failed(create_answer)) return create_answer;
    created = !key_exists;
    key_exists = true;
    open = true;
    ++opens;
    return platform::kOk;
}

platform::Result FakeSettingsStore::open_key() {
    record("open_key");
    if (platform::failed(open_answer)) return open_answer;
    if (!key_exists) return platform::kFail;
    open = true;
    ++opens;
    return platform::kOk;
}

bool FakeSettingsStore::read_value(const char* name, uint32_t& value) {
    record(std::string("read ") + name);
    if (!open || unreadable.count(name) != 0) return false;
    const auto it = values.find(name);
    if (it == values.end()) return false;
    value = it->second;
    return true;
}

platform::Result FakeSettingsStore::write_value(const char* name, uint32_t value) {
    record(std::string("write ") + name);
    if (!open) return platform::kFail;
    if (platform::failed(write_answer)) return write_answer;
    pending_.emplace_back(name, value);
    return platform::kOk;
}

platform::Result FakeSettingsStore::close_key() {
    record("close_key");
    if (!open) return platform::kFail;
    open = false;
    ++closes;
    if (platform::failed(close_answer)) {
        pending_.clear();
        return close_answer;
    }
    for (const auto& [name, value] : pending_) values[name] = value;
    pending_.clear();
    return platform::kOk;
}

float FakeSettingsStore::float_value(const std::string& name) const {
    const auto it = values.find(name);
    const uint32_t bits = it == values.end() ? 0u : it->second;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void FakeSettingsStore::set_float(const std::string& name, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    values[name] = bits;
    key_exists = true;
}

}  // namespace test_support
