#pragma once

#include "script/ScriptVM.h"

namespace vantor {

// Every engine script function in installation order; the application hands
// it to each script state it makes.
const ScriptFunctionTable& scriptFunctionTable();

}  // namespace vantor
