// GetUrl inside a headless application whose setup names a local download
// base, so the only server ever contacted is the test's own on 127.0.0.1.

#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <memory>

#include "platform/LocalHttpServer.h"
#include "script/ScriptVM.h"
#include "script/bindings/wrap_web.h"
#include "support/TestGame.h"

namespace vantor {

using namespace script;
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

// StartWebBrowser's refusals: nothing reaches the handler (none is on PATH
// here, so a text that got through would log that xdg-open failed).
TEST_F(GetUrlAppTest, BrowserRefusesOptionsAndInSandboxModeAllButWebAddresses) {
    game_ = std::make_unique<test::TestGame>(
        test::TestGame::defaultSetup() + "setup.sandbox = 1\n",
        std::vector<std::pair<std::string, std::string>>{{"start.lua", ""}});
    game_->start();
    lua_register(game_->app().getScriptVM("lua")->state(), "StartWebBrowser", w_StartWebBrowser);
    game_->run(
        "StartWebBrowser('--version') StartWebBrowser('/etc/passwd') "
        "StartWebBrowser('file:///etc/passwd')");
    const auto lines = game_->logLinesWith("StartWebBrowser");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("refused --version (it starts with '-')"), std::string::npos);
    EXPECT_NE(lines[1].find("refused /etc/passwd (only http and https"), std::string::npos);
    EXPECT_NE(lines[2].find("refused file:///etc/passwd (only http and https"), std::string::npos);
    EXPECT_TRUE(web::isWebAddress("HTTPS://example.org/"));
    EXPECT_FALSE(web::isWebAddress("http:/example.org/"));
}

}  // namespace
}  // namespace vantor
