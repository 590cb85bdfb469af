#pragma once

#include <string>

namespace vantor {

struct CollisionResult;

// The statement a registered collision callback runs after a collision test
// that touched something: function({'a', 'b'}) with every reported node name
// when wantList is set, else function('name') with the last one. The function
// text is inserted as it is; the names are quoted so that any name reaches
// Lua intact.
std::string collisionCallbackStatement(const std::string& function, const CollisionResult& result,
                                       bool wantList);

}  // namespace vantor
