// Whether the computer runs on its battery, from the kernel's power-supply
// class: one folder per supply (/sys/class/power_supply/<name>/), holding
// small files such as `type`, `status`, `online` and `scope`.
//
// On battery means: some battery of the system is discharging and no mains
// supply is online. A battery is a supply of type "Battery" unless its
// scope is "Device" (the battery of a wireless mouse or a game pad, which
// says nothing of what the computer draws on). A mains supply is one of
// type "Mains", "Wireless", or "USB" and its older variants ("USB_C",
// "USB_PD", ...), whose `online` holds 1.
#pragma once

namespace platform::power {

inline constexpr const char* kPowerSupplyFolder = "/sys/class/power_supply";

// Reads the supplies under `folder` (a missing or unreadable folder: no
// supplies, so mains). Allocates nothing.
bool runs_on_battery(const char* folder = kPowerSupplyFolder);

}  // namespace platform::power
