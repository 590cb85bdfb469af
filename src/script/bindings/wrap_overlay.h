#pragma once

// Script functions for text panels and the level's overlays.

#include <lua.h>

namespace vantor::script {

// CreatePanel(text, x, y) -> panel name ("" when no panel could be made)
int w_CreatePanel(lua_State* L);
// DestroyPanel(name)
int w_DestroyPanel(lua_State* L);
// AddElement(name): shows an "OVE" overlay or attaches an element
int w_AddElement(lua_State* L);
// RemoveElement(name): hides an "OVE" overlay or detaches an element
int w_RemoveElement(lua_State* L);
// SetElementCaption(elementName, caption)
int w_SetElementCaption(lua_State* L);
// SetElementMaterial(elementName, materialName)
int w_SetElementMaterial(lua_State* L);

}  // namespace vantor::script
