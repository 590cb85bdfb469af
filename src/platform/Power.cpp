#include "platform/Power.h"

#include <filesystem>
#include <fstream>

namespace vantor::platform {

namespace {
std::string readFirstWord(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}
}  // namespace

bool isOnAcPower(const std::string& supplyRoot) {
    std::error_code error;
    std::filesystem::directory_iterator it(supplyRoot, error);
    if (error) {
        return true;
    }
    for (const auto& entry : it) {
        if (readFirstWord(entry.path() / "type") != "Mains") {
            continue;
        }
        if (readFirstWord(entry.path() / "online") == "0") {
            return false;
        }
    }
    return true;
}

}  // namespace vantor::platform
