// GetUrl inside a headless application whose setup names a local download
// base, so the only server ever contacted is the test's own on 127.0.0.1.

#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <filesystem>
#include <memory>

#include "platform/LocalHttpServer.h"
#include "script/ScriptVM.h"
#include "script/wrap_web.h"
#include "support/TestGame.h"

namespace vantor {
namespace {

class GetUrlAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = std::make_unique<test::LocalHttpServer>(); }
    static void TearDownTestSuite() { server_.reset(); }

    // Starts a game whose setup points downloads at `base` and gives it GetUrl.
    void startWithBase(const std::string& base) {
        ASSERT_NE(server_->port(), 0) << "test HTTP server did not start";
        game_ = std::make_unique<test::TestGame>(
            test::TestGame::defaultSetup() + "setup.downloadurl = '" + base + "'\n",
            std::vector<std::pair<std::string, std::string>>{{"start.lua", ""}});
        game_->start();
        lua_register(game_->app().getScriptVM("lua")->state(), "GetUrl", w_GetUrl);
    }

    // GetUrl(path, Resource/<file>) run by the level's script state.
    double getUrl(const std::string& path, const std::string& file) {
        const std::string target = (game_->resource() / file).string();
        game_->run("got = GetUrl('" + path + "', '" + target + "')");
        lua_State* L = game_->app().getScriptVM("lua")->state();
        lua_getglobal(L, "got");
        const double result = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : -1;
        lua_pop(L, 1);
        return result;
    }

    static std::unique_ptr<test::LocalHttpServer> server_;
    std::unique_ptr<test::TestGame> game_;
};

std::unique_ptr<test::LocalHttpServer> GetUrlAppTest::server_;

TEST_F(GetUrlAppTest, StoresBodiesAndErrorPagesWithResultOne) {
    startWithBase(server_->base());
    EXPECT_EQ(getUrl("body/102400", "body.bin"), 1);
    EXPECT_EQ(game_->readFile("Resource/body.bin"), test::serverPattern(102400));
    EXPECT_EQ(getUrl("missing", "page.html"), 1);
    EXPECT_EQ(game_->readFile("Resource/page.html"), "<html>no such page</html>");
    EXPECT_TRUE(game_->logLinesWith("GetUrl").empty());
}

TEST_F(GetUrlAppTest, CutTransferReturnsZeroKeepsPartialFileAndLogsOnce) {
    startWithBase(server_->base());
    EXPECT_EQ(getUrl("cut/300000/150000", "cut.bin"), 0);
    EXPECT_EQ(game_->readFile("Resource/cut.bin"), test::serverPattern(150000));
    const auto lines = game_->logLinesWith("GetUrl");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("cut short"), std::string::npos) << lines[0];
}

TEST_F(GetUrlAppTest, UnopenedAddressOrFileReturnsZeroSilently) {
    startWithBase("http://127.0.0.1:" + std::to_string(test::unusedLocalPort()) + "/");
    EXPECT_EQ(getUrl("body/10", "refused.bin"), 0);
    EXPECT_TRUE(std::filesystem::exists(game_->resource() / "refused.bin"));
    EXPECT_EQ(getUrl("body/10", "no/such/dir.bin"), 0);
    EXPECT_FALSE(std::filesystem::exists(game_->resource() / "no"));
    EXPECT_TRUE(game_->logLinesWith("GetUrl").empty());
}

}  // namespace
}  // namespace vantor
