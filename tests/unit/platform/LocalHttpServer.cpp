#include "platform/LocalHttpServer.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace vantor::test {

LocalHttpServer::LocalHttpServer() {
    const std::string script =
        (std::filesystem::path(__FILE__).parent_path() / "http_test_server.py").string();
    int out[2];
    if (pipe(out) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::string python = "python3";
    std::string scriptArg = script;
    char* argv[] = {python.data(), scriptArg.data(), nullptr};
    if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv, environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    // The first line of output is the port.
    std::string line;
    pollfd pfd{out[0], POLLIN, 0};
    while (pid_ > 0 && line.find('\n') == std::string::npos && poll(&pfd, 1, 10000) > 0) {
        char buffer[64];
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        line.append(buffer, static_cast<size_t>(got));
    }
    close(out[0]);
    if (line.find('\n') != std::string::npos) {
        port_ = std::stoi(line);
    }
}

LocalHttpServer::~LocalHttpServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string LocalHttpServer::base() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

}  // namespace vantor::test
