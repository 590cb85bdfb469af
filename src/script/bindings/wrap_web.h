#pragma once

#include <cstdint>
#include <string>

struct lua_State;

namespace vantor::script {

// Web and hashing script functions.

// StartWebBrowser(target): opens a web address, file or document with the
// desktop's default handler. No results; the outcome is not waited for. A
// target starting with '-' is refused with a log line, and so is anything
// but an http or https address in sandbox mode.
int w_StartWebBrowser(lua_State* L);

// GetUrl(path, fileName): downloads the download base address followed by
// `path` into `fileName`. Returns 1 when the whole body was stored (whatever
// the server's status); 0 with one log line on any failure, and then the file
// is as it was before.
int w_GetUrl(lua_State* L);

// GetHash(data, n): SHA-256 of the first n bytes of the data's text as 64
// lowercase hex digits. n beyond the text hashes the whole text; n <= 0 or a
// missing data hashes nothing.
int w_GetHash(lua_State* L);

namespace web {

// Where downloads come from unless the setup table's text key `downloadurl`
// names another base. Ends with a slash: script paths are appended as given.
inline constexpr char kDownloadBase[] = "https://downloads.vantor-game.example/";

// The download base in effect: the global table `setup` of `setupState` (the
// "setup" script state) when its key `downloadurl` is a non-empty text, else
// kDownloadBase (also for a null state). Reads raw, leaves the stack as it was.
std::string downloadBase(lua_State* setupState);

// Bodies up to this many MB are stored unless `setup.downloadlimit` names
// another positive number of MB.
inline constexpr double kDownloadLimitMB = 64;

// The size bound in bytes: `setup.downloadlimit` (MB) of `setupState` when
// it is a positive number, else kDownloadLimitMB. Reads raw.
uint64_t downloadLimitBytes(lua_State* setupState);

// True for a text that starts with "http://" or "https://" (scheme in any case).
bool isWebAddress(const std::string& target);

// `text` with every byte below 0x20, 0x7f and above written as \xNN, for
// log lines that must stay one line.
std::string printable(const std::string& text);

}  // namespace web

}  // namespace vantor::script
