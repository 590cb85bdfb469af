#include <gtest/gtest.h>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <string>

#include "script/Sha256.h"
#include "script/bindings/wrap_web.h"

namespace vantor {

using namespace script;
namespace {

constexpr char kEmptyDigest[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(Sha256Test, Fips180Vectors) {
    EXPECT_EQ(Sha256::hexDigest("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256::hexDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256::hexDigest(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256::hexDigest(""), kEmptyDigest);
}

TEST(Sha256Test, PaddingAtBlockBoundaries) {
    // 55 bytes leave room for the length in the last block; 64 do not.
    EXPECT_EQ(Sha256::hexDigest(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256::hexDigest(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

class DownloadBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        L_ = luaL_newstate();
        luaL_openlibs(L_);
    }
    void TearDown() override { lua_close(L_); }

    std::string baseAfter(const std::string& setupScript) {
        EXPECT_EQ(luaL_dostring(L_, setupScript.c_str()), 0);
        lua_pushstring(L_, "sentinel");
        const std::string base = web::downloadBase(L_);
        EXPECT_EQ(lua_gettop(L_), 1) << "stack not balanced";
        EXPECT_STREQ(lua_tostring(L_, -1), "sentinel");
        lua_settop(L_, 0);
        return base;
    }

    lua_State* L_ = nullptr;
};

TEST_F(DownloadBaseTest, TheSetupKeyNamesTheBaseOnlyWhenItIsAText) {
    EXPECT_EQ(baseAfter("setup = { downloadurl = 'http://127.0.0.1:8/files/' }"),
              "http://127.0.0.1:8/files/");
    EXPECT_EQ(web::downloadBase(nullptr), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = 'not a table'"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { downloadurl = '' }"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { downloadurl = 5 }"), web::kDownloadBase);
    // A strict-globals script raises on any missing lookup; the read must not.
    EXPECT_EQ(
        baseAfter("setup = nil; setmetatable(_G, { __index = function() error('strict') end })"),
        web::kDownloadBase);
}

}  // namespace
}  // namespace vantor
