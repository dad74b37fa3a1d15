// An in-memory settings key. Values written while the key is open are
// stored when it is closed, as the real store does; reads and writes on a
// closed key fail. Failures can be scripted per operation and per name.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace test_support {

class FakeSettingsStore : public platform::SettingsStore {
public:
    // ---- script ----
    bool key_exists = false;
    std::map<std::string, uint32_t> values;  // the stored key
    std::set<std::string> unreadable;        // names whose read fails
    platform::Result create_answer = platform::kOk;
    platform::Result open_answer = platform::kOk;
    platform::Result write_answer = platform::kOk;
    platform::Result close_answer = platform::kOk;
    std::vector<std::string>* journal = nullptr;

    // ---- what happened ----
    std::vector<std::string> calls;  // "create_key", "open_key", "read r_floor", "write r_floor", "close_key"
    bool open = false;
    int opens = 0;
    int closes = 0;

    // Writes of one key opening, in order.
    std::vector<std::string> written_names() const;

    platform::Result create_key(bool& created) override;
    platform::Result open_key() override;
    bool read_value(const char* name, uint32_t& value) override;
    platform::Result write_value(const char* name, uint32_t value) override;
    platform::Result close_key() override;

    // Stored value as a float (the camera values keep a float's bits).
    float float_value(const std::string& name) const;
    void set_float(const std::string& name, float value);

private:
    void record(std::string call);
    std::vector<std::pair<std::string, uint32_t>> pending_;
};

}  // namespace test_support
