// The single-instance lock. Two fakes that share one set of held names act
// as two programs on the same machine.
#pragma once

#include <set>
#include <string>

#include "platform/instance_lock.h"

namespace test_support {

class FakeInstanceLock : public platform::InstanceLock {
public:
    explicit FakeInstanceLock(std::set<std::string>* shared_names = nullptr)
        : names_(shared_names != nullptr ? shared_names : &own_names_) {}

    std::string held;  // the name this program holds; empty when none
    int acquires = 0;  // try_acquire calls
    int releases = 0;

    // Marks `name` as held by another program.
    void held_elsewhere(const std::string& name) { names_->insert(name); }

    bool try_acquire(const char* class_name) override {
        ++acquires;
        if (!held.empty()) return held == class_name;
        if (names_->count(class_name) != 0) return false;
        names_->insert(class_name);
        held = class_name;
        return true;
    }
    void release() override {
        ++releases;
        if (held.empty()) return;
        names_->erase(held);
        held.clear();
    }

private:
    std::set<std::string> own_names_;
    std::set<std::string>* names_;
};

}  // namespace test_support
