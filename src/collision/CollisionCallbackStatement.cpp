#include "collision/CollisionCallbackStatement.h"

#include "collision/CollisionResult.h"
#include "script/ScriptCall.h"

namespace vantor {

std::string collisionCallbackStatement(const std::string& function, const CollisionResult& result,
                                       bool wantList) {
    ScriptCall call(function);
    if (wantList) {
        call.list(result.hitNames);
    } else {
        call.text(result.hitName);
    }
    return call.str();
}

}  // namespace vantor
