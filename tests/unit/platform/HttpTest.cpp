// Downloads against a real HTTP server on 127.0.0.1; nothing else is contacted.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
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

TEST_F(HttpTest, ExistingFileIsReplacedAndErrorPagesAreStored) {
    const fs::path file = dir_ / "old.bin";
    std::ofstream(file) << std::string(5000, 'x');
    EXPECT_EQ(platform::downloadToFile(url("body/10"), file).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(file), test::serverPattern(10));

    const fs::path page = dir_ / "page.html";
    EXPECT_EQ(platform::downloadToFile(url("missing"), page).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(page), "<html>no such page</html>");
}

TEST_F(HttpTest, SendsUserAgentAndFollowsRedirects) {
    const fs::path agent = dir_ / "agent.txt";
    EXPECT_EQ(platform::downloadToFile(url("agent"), agent).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(agent), "Vantor");

    const fs::path moved = dir_ / "moved.bin";
    EXPECT_EQ(platform::downloadToFile(url("redirect"), moved).status, DownloadStatus::Complete);
    EXPECT_EQ(readFile(moved), test::serverPattern(10));
}

// Each failure leaves the old file as it was and nothing beside it.
TEST_F(HttpTest, FailedTransfersLeaveTheOldFileAlone) {
    platform::DownloadLimits bounded;
    bounded.totalSeconds = 2;
    bounded.maxBytes = 100000;
    const struct {
        const char* path;
        const char* cause;
    } cases[] = {
        {"cut/90000/50000", "transfer closed"},          // server stops mid-body
        {"body/200000", "download limit of 0.0953674"},  // announced too large
        {"forever", "download limit of 0.0953674"},      // no length, never ends
        {"drip", "(the limit is 2 s)"},                  // 2 bytes a second
    };
    const fs::path file = dir_ / "news.txt";
    for (const auto& c : cases) {
        std::ofstream(file) << "old";
        const auto started = std::chrono::steady_clock::now();
        const auto result = platform::downloadToFile(url(c.path), file, bounded);
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(result.status, DownloadStatus::Failed) << c.path;
        EXPECT_NE(result.error.find(c.cause), std::string::npos) << c.path << ": " << result.error;
        EXPECT_LT(took, 4.0) << c.path;
        EXPECT_EQ(readFile(file), "old") << c.path;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
            << c.path;
    }
}

TEST_F(HttpTest, RefusedConnectionCreatesNothing) {
    const int port = test::unusedLocalPort();
    ASSERT_NE(port, 0);
    const fs::path file = dir_ / "refused.bin";
    const auto result =
        platform::downloadToFile("http://127.0.0.1:" + std::to_string(port) + "/body/10", file);
    EXPECT_EQ(result.status, DownloadStatus::Failed);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(HttpTest, FileInMissingDirectoryFailsAndCreatesNothing) {
    const fs::path missing = dir_ / "no" / "such";
    const auto result = platform::downloadToFile(url("body/10"), missing / "file.bin");
    EXPECT_EQ(result.status, DownloadStatus::FileFailed);
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(HttpTest, AddressesWithBlanksOrControlCharactersAreNotSent) {
    for (const std::string& path : std::initializer_list<std::string>{
             "a b", "a\tb", "a\nb", std::string("a\x7f"), std::string("a\0b", 3)}) {
        const auto result = platform::downloadToFile(url(path), dir_ / "x");
        EXPECT_EQ(result.status, DownloadStatus::BadAddress) << path;
    }
    EXPECT_TRUE(fs::is_empty(dir_));
    // Bytes above 0x7f go out percent-encoded.
    EXPECT_TRUE(platform::isSendableAddress(url("caf\xc3\xa9")));
}

bool quitAfterHalfASecond() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500);
}

TEST_F(HttpTest, CancelEndsARunningTransferPromptly) {
    platform::DownloadLimits limits;
    limits.cancelled = quitAfterHalfASecond;
    const auto started = std::chrono::steady_clock::now();
    const auto result = platform::downloadToFile(url("drip"), dir_ / "drip.bin", limits);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(result.status, DownloadStatus::Failed);
    EXPECT_EQ(result.error, "the game is quitting");
    EXPECT_LT(took, 1.0);
    EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace vantor
