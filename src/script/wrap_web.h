#pragma once

#include <string>

struct lua_State;

namespace vantor {

// Web and hashing script functions.

// StartWebBrowser(target): opens a web address, file or document with the
// desktop's default handler. No results; the outcome is not waited for.
int w_StartWebBrowser(lua_State* L);

// GetUrl(path, fileName): downloads the download base address followed by
// `path` into `fileName`. Returns 1 when the whole body was stored (whatever
// the server's status), 0 when the file could not be created, the address not
// opened, or the transfer was cut short (the partial file is kept).
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

}  // namespace web

}  // namespace vantor
