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
constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(Sha256Test, Fips180Vectors) {
    EXPECT_EQ(Sha256::hexDigest("abc"), kAbcDigest);
    EXPECT_EQ(Sha256::hexDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256::hexDigest(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(Sha256::hexDigest(""), kEmptyDigest);
}

TEST(Sha256Test, PaddingAtBlockBoundaries) {
    // 55 bytes leave room for the length in the last block; 56 and 64 do not.
    EXPECT_EQ(Sha256::hexDigest(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256::hexDigest(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Sha256::hexDigest(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Sha256Test, PiecewiseUpdatesMatchOneShot) {
    std::string data;
    for (int i = 0; i < 1000; ++i) {
        data += static_cast<char>(i * 37);
    }
    Sha256 sha;
    for (size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece % 70 + 1) {
        sha.update(data.data() + at, std::min(piece, data.size() - at));
    }
    EXPECT_EQ(Sha256::toHex(sha.finish()), Sha256::hexDigest(data));
}

class GetHashTest : public ::testing::Test {
protected:
    void SetUp() override {
        L_ = luaL_newstate();
        lua_register(L_, "GetHash", w_GetHash);
    }
    void TearDown() override { lua_close(L_); }

    // Runs `return <expression>` and gives its text result.
    std::string eval(const std::string& expression) {
        const int top = lua_gettop(L_);
        if (luaL_dostring(L_, ("return " + expression).c_str()) != 0) {
            ADD_FAILURE() << lua_tostring(L_, -1);
            lua_settop(L_, top);
            return {};
        }
        EXPECT_EQ(lua_type(L_, -1), LUA_TSTRING) << expression;
        const std::string result = lua_tostring(L_, -1);
        lua_settop(L_, top);
        return result;
    }

    lua_State* L_ = nullptr;
};

TEST_F(GetHashTest, HashesTheFirstNBytes) {
    EXPECT_EQ(eval("GetHash('abc', 3)"), kAbcDigest);
    EXPECT_EQ(eval("GetHash('abc', 2)"), Sha256::hexDigest("ab"));
    EXPECT_EQ(eval("GetHash('abc', 2.9)"), Sha256::hexDigest("ab"));
    EXPECT_EQ(eval("GetHash('a\\0b', 3)"), Sha256::hexDigest(std::string("a\0b", 3)));
    // A number is hashed as its text.
    EXPECT_EQ(eval("GetHash(12, 2)"),
              "6b51d431df5d7f141cbececcf79edf3dd861c3b4069f0b11661a3eefacbba918");
}

TEST_F(GetHashTest, OutOfRangeCountsAndMissingData) {
    EXPECT_EQ(eval("GetHash('abc', 0)"), kEmptyDigest);
    EXPECT_EQ(eval("GetHash('abc', -5)"), kEmptyDigest);
    EXPECT_EQ(eval("GetHash('abc', 1e300)"), kAbcDigest);
    EXPECT_EQ(eval("GetHash('abc', 10)"), kAbcDigest);
    EXPECT_EQ(eval("GetHash(nil, 10)"), kEmptyDigest);
    EXPECT_EQ(eval("GetHash('abc')"), kEmptyDigest);
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

TEST_F(DownloadBaseTest, SetupKeyOverridesTheConstant) {
    EXPECT_EQ(baseAfter("setup = { downloadurl = 'http://127.0.0.1:8/files/' }"),
              "http://127.0.0.1:8/files/");
}

TEST_F(DownloadBaseTest, ConstantWhenKeyIsAbsentEmptyOrNotText) {
    EXPECT_EQ(web::downloadBase(nullptr), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = nil"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = 'not a table'"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { music = 1 }"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { downloadurl = '' }"), web::kDownloadBase);
    EXPECT_EQ(baseAfter("setup = { downloadurl = 5 }"), web::kDownloadBase);
    // A strict-globals script raises on any missing lookup; the read must not.
    EXPECT_EQ(
        baseAfter("setup = nil; setmetatable(_G, { __index = function() error('strict') end })"),
        web::kDownloadBase);
}

TEST(GetUrlScriptTest, FileThatCannotBeCreatedReturnsZero) {
    // Fails before any address is contacted.
    lua_State* L = luaL_newstate();
    lua_register(L, "GetUrl", w_GetUrl);
    ASSERT_EQ(luaL_dostring(L, "return GetUrl('index.html', '/nonexistent-dir/x/y.html')"), 0);
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER);
    EXPECT_EQ(lua_tonumber(L, -1), 0);
    lua_close(L);
}

}  // namespace
}  // namespace vantor
