#pragma once

#include <string>

namespace vantor {

class ScriptVM;

// Typed lookups of table.key among the globals of a script state. A missing
// table, a missing key or a value of the wrong kind is logged and reads as 0
// or the empty text; a missing table is logged once per level load. The
// lookup runs protected, so a metamethod that raises an error (a script's
// strict mode) reads as a missing table. The state's stack is left as it was.
float getFloatValue(ScriptVM* vm, const std::string& table, const std::string& key);
std::string getStringValue(ScriptVM* vm, const std::string& table, const std::string& key);

// For keys a setup file or a level may leave out: a missing table or key
// reads as `fallback` ("" for texts) without a log line; a value of the wrong
// kind is logged.
float getOptionalFloat(ScriptVM* vm, const std::string& table, const std::string& key,
                       float fallback);
std::string getOptionalString(ScriptVM* vm, const std::string& table, const std::string& key);

}  // namespace vantor
