#pragma once

#include <sys/types.h>

#include <string>

namespace vantor::test {

// Runs http_test_server.py (next to this file) on 127.0.0.1 for the life of
// the object. port() is 0 when the server did not come up within 10 s.
class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    // http://127.0.0.1:<port>/
    std::string base() const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace vantor::test
