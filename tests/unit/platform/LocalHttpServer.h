#pragma once

#include <cstdio>
#include <string>

namespace vantor::test {

// Runs http_test_server.py (next to this file) on 127.0.0.1 for the life of
// the object. port() is 0 when the server did not come up.
class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    // http://127.0.0.1:<port>/
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    FILE* output_ = nullptr;
    int port_ = 0;
};

}  // namespace vantor::test
