#include "script/bindings/wrap_web.h"

#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "app/GameApp.h"
#include "core/Log.h"
#include "core/Names.h"
#include "platform/Browser.h"
#include "platform/Http.h"
#include "platform/Signals.h"
#include "script/ScriptVM.h"
#include "script/Sha256.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"

namespace vantor::script {

namespace {
constexpr char kDownloadUrlKey[] = "downloadurl";
constexpr char kDownloadLimitKey[] = "downloadlimit";
constexpr char kBrowserRefused[] = "Error: StartWebBrowser: refused ";
constexpr char kGetUrlFailed[] = "Error: GetUrl: download of ";

// The "setup" script state of the running application.
lua_State* setupState() {
    ScriptVM* setup = app().getScriptVM(names::kSetupState);
    return setup ? setup->state() : nullptr;
}
}  // namespace

namespace web {

namespace {

// Calls `read` with setup[key] of `L` on top of the stack (nil when the
// table or the key is missing) and restores the stack. Raw reads: a
// metatable on the globals or on the table (a strict-mode script) must not
// turn a missing key into a Lua error here.
template <typename Read>
void readSetupKey(lua_State* L, const char* key, Read read) {
    if (!L || !lua_checkstack(L, 3)) {
        return;
    }
    const int top = lua_gettop(L);
    lua_pushstring(L, names::kSetupTable);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_istable(L, -1)) {
        lua_pushstring(L, key);
        lua_rawget(L, -2);
    } else {
        lua_pushnil(L);
    }
    read();
    lua_settop(L, top);
}

}  // namespace

std::string downloadBase(lua_State* L) {
    std::string base;
    readSetupKey(L, kDownloadUrlKey, [&] {
        if (lua_type(L, -1) == LUA_TSTRING) {
            size_t length = 0;
            const char* text = lua_tolstring(L, -1, &length);
            base.assign(text, length);
        }
    });
    return base.empty() ? std::string(kDownloadBase) : base;
}

uint64_t downloadLimitBytes(lua_State* L) {
    double mb = kDownloadLimitMB;
    readSetupKey(L, kDownloadLimitKey, [&] {
        const double value = lua_type(L, -1) == LUA_TNUMBER ? lua_tonumber(L, -1) : 0.0;
        // Anything past a terabyte is as good as no bound; NaN fails the test.
        if (value > 0.0) {
            mb = std::min(value, 1048576.0);
        }
    });
    return static_cast<uint64_t>(mb * 1048576.0);
}

bool isWebAddress(const std::string& target) {
    std::string scheme = target.substr(0, target.find(':'));
    for (char& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return target.find(':') != std::string::npos && (scheme == "http" || scheme == "https") &&
           target.compare(scheme.size(), 3, "://") == 0;
}

std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace web

int w_StartWebBrowser(lua_State* L) {
    return guarded(L, "StartWebBrowser", [&] {
        const std::string target = argText(L, 1);
        if (target.empty()) {
            return;
        }
        // xdg-open would take a leading '-' as one of its options.
        if (target[0] == '-') {
            log(kBrowserRefused + web::printable(target) + " (it starts with '-')");
            return;
        }
        ScriptSandbox::refuseNulBytes(target);
        if (isSandboxed(L) && !web::isWebAddress(target)) {
            log(kBrowserRefused + web::printable(target) +
                " (only http and https addresses open in sandbox mode)");
            return;
        }
        if (!platform::openWithDesktop(target)) {
            log("Error: StartWebBrowser: xdg-open could not be started");
        }
    });
}

int w_GetUrl(lua_State* L) {
    return guarded(
        L, "GetUrl",
        [&] {
            const std::string path = argText(L, 1);
            const std::string fileName = argFileName(L, 2, ScriptSandbox::Access::Write);
            const std::string address = web::downloadBase(setupState()) + path;
            WaitOutsideLimit downloading(L);
            platform::DownloadLimits limits;
            limits.maxBytes = web::downloadLimitBytes(setupState());
            // A quit signal or the window's close ends the transfer within
            // one poll, so the frame loop can tear the game down.
            limits.cancelled = platform::quitRequested;
            const platform::DownloadResult result =
                platform::downloadToFile(address, fileName, limits);
            if (result.status != platform::DownloadStatus::Complete) {
                log(kGetUrlFailed + web::printable(address) + " to " + web::printable(fileName) +
                    " failed: " + result.error);
            }
            lua_pushnumber(L, result.status == platform::DownloadStatus::Complete ? 1 : 0);
            return 1;
        },
        [&] {
            lua_pushnumber(L, 0);
            return 1;
        });
}

int w_GetHash(lua_State* L) {
    return guarded(
        L, "GetHash",
        [&] {
            const std::string data = argText(L, 1);
            const int64_t n = argInt64(L, 2);
            const size_t count =
                n <= 0 ? 0 : static_cast<size_t>(std::min<uint64_t>(uint64_t(n), data.size()));
            const std::string digest = Sha256::hexDigest(std::string_view(data).substr(0, count));
            lua_pushlstring(L, digest.data(), digest.size());
            return 1;
        },
        [&] {
            lua_pushstring(L, "");
            return 1;
        });
}

}  // namespace vantor::script
