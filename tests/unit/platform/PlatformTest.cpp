#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Browser.h"
#include "platform/Http.h"
#include "support/TempDir.h"

namespace vantor {
namespace {

// http_test_server.py (next to this file) on 127.0.0.1 for the life of the
// object; port() is 0 when it did not come up.
class LocalHttpServer {
public:
    LocalHttpServer() {
        const auto script = std::filesystem::path(__FILE__).parent_path() / "http_test_server.py";
        output_ = popen(("exec python3 '" + script.string() + "'").c_str(), "r");
        char line[32];
        if (output_ && std::fgets(line, sizeof line, output_)) {  // the first line is the port
            port_ = std::atoi(line);
        }
    }
    ~LocalHttpServer() {
        if (port_) {
            test::TempDir dir;
            platform::downloadToFile(base() + "quit", dir.file("bye"));
        }
        if (output_) {
            pclose(output_);
        }
    }
    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    FILE* output_ = nullptr;
    int port_ = 0;
};

using platform::DownloadStatus;

TEST(HttpTest, TransfersAreBoundedInSizeAndTimeAndLeaveTheOldFileAlone) {
    LocalHttpServer server;
    ASSERT_NE(server.port(), 0) << "test HTTP server did not start";
    test::TempDir dir;
    platform::DownloadLimits bounded;
    bounded.totalSeconds = 2;
    bounded.maxBytes = 100000;
    const std::pair<const char*, const char*> cases[] = {
        {"body/200000", "download limit of 0.0953674"},  // announced too large
        {"unannounced/100001", "download limit"},        // one byte too many, unannounced
        {"drip", "(the limit is 2 s)"},                  // 2 bytes a second
    };
    for (const auto& [path, cause] : cases) {
        dir.write("news.txt", "old");
        const auto started = std::chrono::steady_clock::now();
        const auto result =
            platform::downloadToFile(server.base() + path, dir.file("news.txt"), bounded);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(result.status, DownloadStatus::Failed) << path;
        EXPECT_NE(result.error.find(cause), std::string::npos) << path << ": " << result.error;
        EXPECT_LT(took.count(), 4.0) << path;
        EXPECT_EQ(dir.read("news.txt"), "old") << path;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << path;
    }
}

TEST(HttpTest, UnsendableAddressesAndUnwritableFilesFailBeforeAnyTransfer) {
    test::TempDir dir;
    for (const std::string& path : std::initializer_list<std::string>{
             "a b", "a\tb", "a\nb", std::string("a\x7f"), std::string("a\0b", 3)}) {
        EXPECT_EQ(platform::downloadToFile("http://127.0.0.1:9/" + path, dir.file("x")).status,
                  DownloadStatus::BadAddress);
    }
    EXPECT_TRUE(platform::isSendableAddress("http://127.0.0.1:9/caf\xc3\xa9"));  // %-encoded
    EXPECT_EQ(platform::downloadToFile("http://127.0.0.1:9/x", dir.file("no/such/file")).status,
              DownloadStatus::FileFailed);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

namespace fs = std::filesystem;

bool waitForFile(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = getenv("PATH");
        oldPath_ = path ? path : "";
    }
    void TearDown() override { setenv("PATH", oldPath_.c_str(), 1); }

    // Puts a stand-in xdg-open first on PATH. It waits (at most 10 s) for the
    // file "release", then writes its parent's process id, its argument count
    // and its arguments, each ended by a NUL byte, to "record".
    void installStandIn() {
        const fs::path bin = dir_ / "bin";
        fs::create_directory(bin);
        const fs::path script = bin / "xdg-open";
        std::ofstream(script)
            << "#!/bin/sh\n"
            << "i=0\n"
            << "while [ ! -e '" << (dir_ / "release").string()
            << "' ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
            << "{ printf '%s\\0' \"$PPID\" \"$#\"; for a in \"$@\"; do printf '%s\\0' "
               "\"$a\"; done; } > '"
            << (dir_ / "record.tmp").string() << "'\n"
            << "mv '" << (dir_ / "record.tmp").string() << "' '" << (dir_ / "record").string()
            << "'\n";
        fs::permissions(script, fs::perms::owner_all);
        setenv("PATH", (bin.string() + ":" + oldPath_).c_str(), 1);
    }

    test::TempDir temp_;
    const fs::path& dir_ = temp_.path();
    std::string oldPath_;
};

// Processes whose parent is this one, zombies included.
int childProcesses() {
    int children = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string state, parent;
        fields >> state >> parent;
        children += parent == self ? 1 : 0;
    }
    return children;
}

TEST_F(BrowserTest, HostileTextArrivesAsOneLiteralArgument) {
    installStandIn();
    const std::string marker = (dir_ / "pwned").string();
    const std::string target = "http://x.example/a?b='c'\"d\"; touch " + marker + "; $(touch " +
                               marker + ") `touch " + marker + "` & | > " + marker + " \\n";

    ASSERT_TRUE(platform::openWithDesktop(target));
    // The launcher returned while the handler still waits for its release.
    EXPECT_FALSE(fs::exists(dir_ / "record"));
    std::ofstream(dir_ / "release").put('\n');

    ASSERT_TRUE(waitForFile(dir_ / "record"));
    // The handler is this process's own child, spawned directly.
    EXPECT_EQ(temp_.read("record"), std::to_string(getpid()) + '\0' + "1" + '\0' + target + '\0');
    EXPECT_FALSE(fs::exists(marker));
    setenv("PATH", dir_.c_str(), 1);  // no handler at all: reported
    EXPECT_FALSE(platform::openWithDesktop("http://x.example/"));
}

TEST_F(BrowserTest, FiftyHandlersAreAllReaped) {
    installStandIn();
    std::ofstream(dir_ / "release").put('\n');
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(platform::openWithDesktop("doc" + std::to_string(i) + ".html"));
    }
    int left = childProcesses();
    for (int i = 0; i < 100 && left > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        left = childProcesses();
    }
    EXPECT_EQ(left, 0);
}

}  // namespace
}  // namespace vantor
