// The transfer bounds of downloads against a real HTTP server on 127.0.0.1
// (the engine's download test covers what GetUrl makes of them), and the
// refusals that need no server at all.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Http.h"
#include "platform/LocalHttpServer.h"
#include "support/TempDir.h"

namespace vantor {
namespace {

using platform::DownloadStatus;

TEST(HttpTest, TransfersAreBoundedInSizeAndTimeAndLeaveTheOldFileAlone) {
    test::LocalHttpServer server;
    ASSERT_NE(server.port(), 0) << "test HTTP server did not start";
    test::TempDir dir;
    platform::DownloadLimits bounded;
    bounded.totalSeconds = 2;
    bounded.maxBytes = 100000;
    const std::pair<const char*, const char*> cases[] = {
        {"body/200000", "download limit of 0.0953674"},  // announced too large
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

}  // namespace
}  // namespace vantor
