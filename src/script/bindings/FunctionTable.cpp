#include "script/bindings/FunctionTable.h"

#include "script/bindings/wrap_actor.h"
#include "script/bindings/wrap_avatar.h"
#include "script/bindings/wrap_collision.h"
#include "script/bindings/wrap_engine.h"
#include "script/bindings/wrap_overlay.h"
#include "script/bindings/wrap_sound.h"
#include "script/bindings/wrap_spline.h"
#include "script/bindings/wrap_web.h"

namespace vantor {

using namespace script;

const ScriptFunctionTable& scriptFunctionTable() {
    // The order is part of the engine's contract with level scripts: a level
    // that redefines one of these names sees the engine's version replaced
    // only after installation, in this order, in every state.
    static const ScriptFunctionTable table = {
        {"_ALERT", w_ALERT},
        {"ShowText", w_ShowText},
        {"LogText", w_LogText},
        {"GetTick", w_GetTick},
        {"GetSimulationTime", w_GetSimulationTime},
        {"coreLoadLevel", w_coreLoadLevel},
        {"CreateEntity", w_CreateEntity},
        {"CreateSceneNode", w_CreateSceneNode},
        {"AttachObject", w_AttachObject},
        {"SetSkyBox", w_SetSkyBox},
        {"SetFog", w_SetFog},
        {"AddCompositor", w_AddCompositor},
        {"AddResourceLocation", w_AddResourceLocation},
        {"SaveScreenshot", w_SaveScreenshot},
        {"ShutDown", w_ShutDown},
        {"StartWebBrowser", w_StartWebBrowser},
        {"GetUrl", w_GetUrl},
        {"GetHash", w_GetHash},
        {"FastForward", w_FastForward},
        {"GetVersion", w_GetVersion},
        {"LeaveEditMode", w_LeaveEditMode},
        {"CreateCollisionSpace", w_CreateCollisionSpace},
        {"RayTest", w_RayTest},
        {"CollisionTest", w_CollisionTest},
        {"RegisterCollisionCallback", w_RegisterCollisionCallback},
        {"SetCameraDampening", w_SetCameraDampening},
        {"SetPosition", w_SetPosition},
        {"GetPosition", w_GetPosition},
        {"SetRotation", w_SetRotation},
        {"GetParent", w_GetParent},
        {"AddActor", w_AddActor},
        {"AddActorMessage", w_AddActorMessage},
        {"RemoveActor", w_RemoveActor},
        {"SetAvatarState", w_SetAvatarState},
        {"ResetBody", w_ResetBody},
        {"SetAmbientForce", w_SetAmbientForce},
        {"CreatePanel", w_CreatePanel},
        {"DestroyPanel", w_DestroyPanel},
        {"AddElement", w_AddElement},
        {"RemoveElement", w_RemoveElement},
        {"SetElementCaption", w_SetElementCaption},
        {"SetElementMaterial", w_SetElementMaterial},
        {"PlayStream", w_PlayStream},
        {"UnloadStream", w_UnloadStream},
        {"Play2DSound", w_Play2DSound},
        {"StopAllSounds", w_StopAllSounds},
        {"SetMasterVolume", w_SetMasterVolume},
        {"CreateSpline", w_CreateSpline},
        {"AddSplinePoint", w_AddSplinePoint},
        {"InterpolateSpline", w_InterpolateSpline},
        {"GetFloatValue", w_GetFloatValue},
        {"GetStringValue", w_GetStringValue},
        {"ExecuteCmd", w_ExecuteCmd},
    };
    return table;
}

}  // namespace vantor
