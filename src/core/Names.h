#pragma once

// Names the engine and level scripts share: scene nodes, the collision space
// the avatar collides with, the camera, the scene manager and the three
// script states. Written once here; every subsystem uses these constants.
namespace vantor::names {

// Scene nodes.
inline constexpr char kAvatar[] = "_AVATAR";               // the avatar's actor and node
inline constexpr char kCameraNode[] = "_CameraNode";       // the camera's carrier
inline constexpr char kLevelRoot[] = "LevelRoot";          // parent of level content
inline constexpr char kRot1[] = "ROT1";                    // carries the avatar's heading
inline constexpr char kFollowCamera[] = "_FollowCamera1";  // the follow point
inline constexpr char kHidden[] = "_Hidden";               // known, never rendered

// The collision space the avatar collides with.
inline constexpr char kSolid[] = "Solid";
// The camera object.
inline constexpr char kCamera[] = "camera";
// The scene manager.
inline constexpr char kSceneManager[] = "Generic";

// Script states.
inline constexpr char kLuaState[] = "lua";
inline constexpr char kSetupState[] = "setup";
inline constexpr char kStateState[] = "state";
// The global table the setup file leaves in the "setup" state.
inline constexpr char kSetupTable[] = "setup";

}  // namespace vantor::names
