// A persistent key of named 32-bit values, opened and closed around every
// group of reads or writes. Writes made while the key is open are kept when
// it is closed.
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace platform {

class SettingsStore {
public:
    // Opens the key, creating it when missing; `created` tells which.
    virtual Result create_key(bool& created) = 0;
    // Opens an existing key.
    virtual Result open_key() = 0;
    // Reads a value of the open key; false when it is missing or unreadable.
    virtual bool read_value(const char* name, uint32_t& value) = 0;
    virtual Result write_value(const char* name, uint32_t value) = 0;
    // The same for a value that holds the bits of a 32-bit float. A store
    // that keeps text can write it in a readable form and read it back bit
    // for bit; by default it is kept like any other value.
    virtual bool read_float_value(const char* name, uint32_t& bits) { return read_value(name, bits); }
    virtual Result write_float_value(const char* name, uint32_t bits) { return write_value(name, bits); }
    // Closes the key, storing what was written.
    virtual Result close_key() = 0;

protected:
    virtual ~SettingsStore() = default;
};

}  // namespace platform
