#include "script/bindings/wrap_engine.h"

#include <Ogre.h>
#include <OgreCodec.h>

#include "app/GameApp.h"
#include "core/ResourceGroups.h"
#include "core/SceneLookup.h"
#include "script/ScriptVM.h"
#include "script/TableValues.h"
#include "script/bindings/BindingSupport.h"
#include "script/bindings/ScriptFunction.h"
#include "world/Simulation.h"

namespace vantor::script {

namespace {

constexpr const char* kScriptingError = "Scripting error";

// The rendering library's managers are singletons that live as long as the
// root; finalisers of the script states may run after it is gone.
void requireRendering() {
    if (!app().getRoot()) {
        throw std::runtime_error("the rendering library is not running");
    }
}

Ogre::RenderWindow& window() {
    Ogre::RenderWindow* current = app().getRenderWindow();
    if (!current) {
        throw std::runtime_error("no render window");
    }
    return *current;
}

int pushZero(lua_State* L) {
    lua_pushnumber(L, 0);
    return 1;
}

int pushEmpty(lua_State* L) {
    lua_pushstring(L, "");
    return 1;
}

}  // namespace

int w_ALERT(lua_State* L) {
    return guarded(L, "_ALERT", [&] {
        std::string message = argText(L, 1);
        if (!lua_isstring(L, 1)) {
            message = std::string("(error object is a ") + luaL_typename(L, 1) + " value)";
        }
        // The traceback of the failing chunk, while its error is reported.
        const ScriptVM* vm = ScriptVM::of(L);
        const std::string traceback = vm ? vm->traceback() : std::string();
        log(kScriptingError);
        log(message);
        logLines(traceback);
        if (OverlayMgr* panels = overlaysIfAny()) {
            app().getErrorPanel().show(*panels, message, traceback);
        }
    });
}

int w_ShowText(lua_State* L) {
    return guarded(L, "ShowText", [&] { app().setDebugText(argText(L, 1)); });
}

int w_LogText(lua_State* L) {
    return guarded(L, "LogText", [&] { log(argText(L, 1)); });
}

int w_GetTick(lua_State* L) {
    return guarded(
        L, "GetTick",
        [&] {
            lua_pushnumber(L, app().getTime());
            return 1;
        },
        [&] { return pushZero(L); });
}

int w_GetSimulationTime(lua_State* L) {
    return guarded(
        L, "GetSimulationTime",
        [&] {
            lua_pushnumber(L, simulation().getTime());
            return 1;
        },
        [&] { return pushZero(L); });
}

int w_coreLoadLevel(lua_State* L) {
    return guarded(L, "coreLoadLevel", [&] {
        const std::string level = argFileName(L, 1);
        if (isSandboxed(L) && !level.empty()) {
            checkFilePath(L, app().getSetupString("resourcedir") + level,
                          ScriptSandbox::Access::Read);
        }
        app().requestLevel(level);
    });
}

int w_CreateEntity(lua_State* L) {
    return guarded(L, "CreateEntity", [&] {
        const std::string name = argText(L, 1);
        const std::string mesh = argText(L, 2);
        if (findEntity(&scene(), name)) {
            throw std::runtime_error("an entity named " + name + " exists already");
        }
        if (mesh.empty()) {
            throw std::runtime_error("empty mesh name");
        }
        if (!Ogre::MeshManager::getSingleton().resourceExists(mesh) &&
            !Ogre::ResourceGroupManager::getSingleton().resourceExistsInAnyGroup(mesh)) {
            throw std::runtime_error("no mesh named " + mesh);
        }
        WaitOutsideLimit loading(L);
        scene().createEntity(name, mesh);
    });
}

int w_CreateSceneNode(lua_State* L) {
    return guarded(L, "CreateSceneNode", [&] {
        const std::string parentName = argText(L, 1);
        const std::string name = argText(L, 2);
        if (name.empty()) {
            throw std::runtime_error("empty scene node name");
        }
        if (scene().hasSceneNode(name)) {
            throw std::runtime_error("a scene node named " + name + " exists already");
        }
        Ogre::SceneNode& parent =
            parentName.empty() ? *scene().getRootSceneNode() : sceneNode(parentName);
        parent.createChildSceneNode(name, Ogre::Vector3::ZERO, Ogre::Quaternion::IDENTITY);
    });
}

int w_AttachObject(lua_State* L) {
    return guarded(L, "AttachObject", [&] {
        const std::string nodeName = argText(L, 1);
        const std::string entityName = argText(L, 2);
        Ogre::SceneNode& node = sceneNode(nodeName);
        Ogre::Entity* entity = findEntity(&scene(), entityName);
        if (!entity) {
            throw std::runtime_error("no entity named " + entityName);
        }
        if (entity->isAttached()) {
            throw std::runtime_error("entity " + entityName + " is attached to " +
                                     entity->getParentNode()->getName() + " already");
        }
        node.attachObject(entity);
    });
}

int w_SetSkyBox(lua_State* L) {
    return guarded(L, "SetSkyBox", [&] {
        const std::string material = argText(L, 1);
        Ogre::SceneManager& sceneMgr = scene();
        requireRendering();
        if (!Ogre::MaterialManager::getSingleton().getByName(material, Ogre::RGN_AUTODETECT)) {
            throw std::runtime_error("no material named " + material);
        }
        WaitOutsideLimit loading(L);
        sceneMgr.setSkyBox(true, material, 500, true, Ogre::Quaternion::IDENTITY,
                           Ogre::RGN_AUTODETECT);
    });
}

int w_SetFog(lua_State* L) {
    return guarded(L, "SetFog", [&] {
        const Ogre::ColourValue colour(argFloat(L, 1), argFloat(L, 2), argFloat(L, 3), 1.0f);
        const int start = argInt(L, 4);
        const int end = argInt(L, 5);
        scene().setFog(Ogre::FOG_LINEAR, colour, 0.0f, static_cast<Ogre::Real>(start),
                       static_cast<Ogre::Real>(end));
    });
}

int w_AddCompositor(lua_State* L) {
    return guarded(L, "AddCompositor", [&] {
        const std::string name = argText(L, 1);
        Ogre::Viewport* viewport = window().getViewport(0);
        Ogre::CompositorManager& compositors = Ogre::CompositorManager::getSingleton();
        compositors.getCompositorChain(viewport)->removeAllCompositors();
        if (name.empty()) {
            return;
        }
        if (!compositors.getByName(name, Ogre::RGN_AUTODETECT)) {
            throw std::runtime_error("no compositor named " + name);
        }
        if (!compositors.addCompositor(viewport, name, 0)) {
            throw std::runtime_error("compositor " + name + " is not supported here");
        }
        compositors.setCompositorEnabled(viewport, name, true);
    });
}

int w_AddResourceLocation(lua_State* L) {
    return guarded(L, "AddResourceLocation", [&] {
        const std::string group = argText(L, 1);
        const std::string location = argFileName(L, 2);
        const std::string type = argText(L, 3);
        requireRendering();
        if (group.empty()) {
            throw std::runtime_error("empty resource group name");
        }
        Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
        ensureGlobalResourceGroup(group);
        WaitOutsideLimit loading(L);
        try {
            groups.addResourceLocation(location, type, group, false);
        } catch (const Ogre::ItemIdentityException&) {
            throw std::runtime_error("unknown location type '" + type + "' (FileSystem or Zip)");
        }
        groups.initialiseResourceGroup(group);
    });
}

int w_SaveScreenshot(lua_State* L) {
    return guarded(L, "SaveScreenshot", [&] {
        // Scripts run between frames, after the last picture was swapped to
        // the front. A window's back buffer, which writeContentsToFile reads,
        // is undefined after a swap (under GLX with buffer exchange it holds
        // the frame before last, so a screenshot could miss the last changes),
        // and the front buffer cannot be read back everywhere. So the scene is
        // drawn once more as it stands, without a swap, and that is saved.
        const std::string file = argFileName(L, 1, ScriptSandbox::Access::Write);
        Ogre::RenderWindow& target = window();
        const size_t dot = file.find_last_of('.');
        std::string format = dot == std::string::npos ? "" : file.substr(dot + 1);
        Ogre::StringUtil::toLowerCase(format);
        if (format.empty() || !Ogre::Codec::isCodecRegistered(format)) {
            throw std::runtime_error(file + ": unknown picture format (use .png)");
        }
        // A closed or inactive window is not drawn into; it keeps what it has.
        if (target.isActive() && !target.isClosed()) {
            target.update(false);
        }
        try {
            target.writeContentsToFile(file);
        } catch (const Ogre::Exception&) {
            throw std::runtime_error("cannot write " + file);
        }
    });
}

int w_ShutDown(lua_State* L) {
    return guarded(L, "ShutDown", [&] { app().shutDown(argFlag(L, 1)); });
}

int w_FastForward(lua_State* L) {
    return guarded(L, "FastForward", [&] {
        // Truncated to 64 bits, of which the low 32 are the amount.
        const auto low = static_cast<uint32_t>(static_cast<uint64_t>(argInt64(L, 1)));
        app().fastForward(static_cast<int32_t>(low));
    });
}

int w_GetVersion(lua_State* L) {
    return guarded(
        L, "GetVersion",
        [&] {
            lua_pushstring(L, app().getVersion().c_str());
            return 1;
        },
        [&] { return pushEmpty(L); });
}

int w_LeaveEditMode(lua_State* L) {
    return guarded(L, "LeaveEditMode", [&] { app().leaveEditMode(); });
}

int w_GetFloatValue(lua_State* L) {
    return guarded(
        L, "GetFloatValue",
        [&] {
            const std::string state = argText(L, 1);
            const std::string table = argText(L, 2);
            const std::string key = argText(L, 3);
            float value = 0.0f;
            if (ScriptVM* vm = app().getScriptVM(state)) {
                value = getFloatValue(vm, table, key);
            }
            lua_pushnumber(L, value);
            return 1;
        },
        [&] { return pushZero(L); });
}

int w_GetStringValue(lua_State* L) {
    return guarded(
        L, "GetStringValue",
        [&] {
            const std::string state = argText(L, 1);
            const std::string table = argText(L, 2);
            const std::string key = argText(L, 3);
            std::string value;
            if (ScriptVM* vm = app().getScriptVM(state)) {
                value = getStringValue(vm, table, key);
            }
            lua_pushlstring(L, value.data(), value.size());
            return 1;
        },
        [&] { return pushEmpty(L); });
}

int w_ExecuteCmd(lua_State* L) {
    return guarded(L, "ExecuteCmd", [&] {
        const std::string state = argText(L, 1);
        const std::string code = argText(L, 2);
        if (ScriptVM* vm = app().getScriptVM(state)) {
            vm->executeString(code);
        }
    });
}

}  // namespace vantor::script
