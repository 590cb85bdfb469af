#pragma once

#include <lua.h>

// Script functions for the engine, the clocks, the scene and the script states.
namespace vantor::script {

int w_ALERT(lua_State* L);
int w_ShowText(lua_State* L);
int w_LogText(lua_State* L);
int w_GetTick(lua_State* L);
int w_GetSimulationTime(lua_State* L);
int w_coreLoadLevel(lua_State* L);
int w_CreateEntity(lua_State* L);
int w_CreateSceneNode(lua_State* L);
int w_AttachObject(lua_State* L);
int w_SetSkyBox(lua_State* L);
int w_SetFog(lua_State* L);
int w_AddCompositor(lua_State* L);
int w_AddResourceLocation(lua_State* L);
int w_SaveScreenshot(lua_State* L);
int w_ShutDown(lua_State* L);
int w_FastForward(lua_State* L);
int w_GetVersion(lua_State* L);
int w_LeaveEditMode(lua_State* L);
int w_GetFloatValue(lua_State* L);
int w_GetStringValue(lua_State* L);
int w_ExecuteCmd(lua_State* L);

}  // namespace vantor::script
