#include "platform/LocalHttpServer.h"

#include <cstdlib>
#include <filesystem>

#include "platform/Http.h"

namespace vantor::test {

LocalHttpServer::LocalHttpServer() {
    const auto script = std::filesystem::path(__FILE__).parent_path() / "http_test_server.py";
    output_ = popen(("exec python3 '" + script.string() + "'").c_str(), "r");
    char line[32];
    if (output_ && std::fgets(line, sizeof line, output_)) {  // the first line is the port
        port_ = std::atoi(line);
    }
}

LocalHttpServer::~LocalHttpServer() {
    if (port_) {
        const auto answer = std::filesystem::temp_directory_path() /
                            ("vantor-server-" + std::to_string(port_) + ".txt");
        platform::downloadToFile(base() + "quit", answer.string());
        std::filesystem::remove(answer);
    }
    if (output_) {
        pclose(output_);
    }
}

}  // namespace vantor::test
