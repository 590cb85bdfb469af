#pragma once

#include <string>

namespace vantor::platform {

// True unless the machine reports that it runs on battery: a power supply of
// type "Mains" whose "online" reads 0. No information at all means true.
bool isOnAcPower(const std::string& supplyRoot = "/sys/class/power_supply");

}  // namespace vantor::platform
