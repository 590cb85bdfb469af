// Downloads against a real HTTP server on 127.0.0.1; nothing else is contacted.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/Http.h"
#include "platform/LocalHttpServer.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using platform::DownloadStatus;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<test::LocalHttpServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_NE(server_->port(), 0) << "test HTTP server did not start";
        std::string pattern = (fs::temp_directory_path() / "vantor_http_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string url(const std::string& path) const { return server_->base() + path; }

    static std::unique_ptr<test::LocalHttpServer> server_;
    fs::path dir_;
};

std::unique_ptr<test::LocalHttpServer> HttpTest::server_;

TEST_F(HttpTest, BodiesArriveWholeAndByteIdentical) {
    // Exactly one transfer buffer, then a body of many buffers with a ragged end.
    for (const size_t size : {size_t(102400), size_t(3000017)}) {
        const fs::path file = dir_ / "body.bin";
        const auto result = platform::downloadToFile(url("body/" + std::to_string(size)), file);
        EXPECT_EQ(result.status, DownloadStatus::Complete) << result.error;
        const std::string stored = readFile(file);
        EXPECT_EQ(stored.size(), size);
        EXPECT_TRUE(stored == test::serverPattern(size)) << "body of " << size << " bytes differs";
    }
}

TEST_F(HttpTest, ExistingFileIsTruncated) {
    const fs::path file = dir_ / "old.bin";
    std::ofstream(file) << std::string(5000, 'x');
    const auto result = platform::downloadToFile(url("body/10"), file);
    EXPECT_EQ(result.status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(file), test::serverPattern(10));
}

TEST_F(HttpTest, ErrorPageIsStoredAsSuccess) {
    const fs::path file = dir_ / "page.html";
    const auto result = platform::downloadToFile(url("missing"), file);
    EXPECT_EQ(result.status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(file), "<html>no such page</html>");
}

TEST_F(HttpTest, SendsUserAgentAndFollowsRedirects) {
    const fs::path agent = dir_ / "agent.txt";
    EXPECT_EQ(platform::downloadToFile(url("agent"), agent).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(agent), "Vantor");

    const fs::path moved = dir_ / "moved.bin";
    EXPECT_EQ(platform::downloadToFile(url("redirect"), moved).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(moved), test::serverPattern(10));
}

TEST_F(HttpTest, RefusedConnectionFailsAndLeavesEmptyFile) {
    const int port = test::unusedLocalPort();
    ASSERT_NE(port, 0);
    const fs::path file = dir_ / "refused.bin";
    const auto result =
        platform::downloadToFile("http://127.0.0.1:" + std::to_string(port) + "/body/10", file);
    EXPECT_EQ(result.status, DownloadStatus::OpenFailed);
    EXPECT_FALSE(result.error.empty());
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(HttpTest, FileInMissingDirectoryFailsAndCreatesNothing) {
    const fs::path missing = dir_ / "no" / "such";
    const auto result = platform::downloadToFile(url("body/10"), missing / "file.bin");
    EXPECT_EQ(result.status, DownloadStatus::FileFailed);
    EXPECT_FALSE(fs::exists(dir_ / "no"));
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(HttpTest, ServerStoppingMidTransferFailsWithPartialFile) {
    const fs::path file = dir_ / "cut.bin";
    const auto result = platform::downloadToFile(url("cut/300000/150000"), file);
    EXPECT_EQ(result.status, DownloadStatus::TransferCut);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(readFile(file), test::serverPattern(150000));
}

TEST_F(HttpTest, StalledServerIsAbandoned) {
    platform::DownloadLimits limits;
    limits.stallSeconds = 1;
    const fs::path file = dir_ / "stall.bin";
    const auto result = platform::downloadToFile(url("stall/300000/0"), file, limits);
    EXPECT_EQ(result.status, DownloadStatus::TransferCut);
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(HttpTest, FailedWriteIsAFailure) {
    // /dev/full opens fine and refuses every write.
    const auto result = platform::downloadToFile(url("body/5000"), "/dev/full");
    EXPECT_EQ(result.status, DownloadStatus::TransferCut);
    EXPECT_NE(result.error.find("/dev/full"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace vantor
