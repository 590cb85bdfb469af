#pragma once

#include <string>

namespace vantor {

// A script function to run in every tick in which the objects or spaces
// name1 and name2 touch.
struct CollisionCallback {
    std::string name1;
    std::string name2;  // a collision space
    // Name of the Lua function to call; used verbatim as the statement head.
    std::string function;
    // True: the function receives a table of every touching node name;
    // false: the name of one touching node.
    bool wantList = false;
};

}  // namespace vantor
