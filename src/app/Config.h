#pragma once

#include <string>

namespace vantor {

class ScriptVM;

// Typed lookups of table.key among the globals of a script state. A missing
// table, a missing key or a value of the wrong kind is logged and reads as 0
// or the empty text. The state's stack is left as it was found.
float getFloatValue(ScriptVM* vm, const std::string& table, const std::string& key);
std::string getStringValue(ScriptVM* vm, const std::string& table, const std::string& key);

}  // namespace vantor
