# Lays out build/game/ as the engine expects it: bin/ (the executable) and
# Resource/ with the text assets copied from game/Resource, OgreCore.zip packed
# from game/OgreCore, and the assets that tools/ generate at build time.

set(VANTOR_GAME_SRC ${CMAKE_SOURCE_DIR}/game)
file(GLOB_RECURSE VANTOR_GAME_FILES CONFIGURE_DEPENDS ${VANTOR_GAME_SRC}/Resource/*)
file(GLOB VANTOR_CORE_FILES CONFIGURE_DEPENDS ${VANTOR_GAME_SRC}/OgreCore/*)

# OgreCore.zip: our overlay, material and font scripts plus generated files
# (the fade-in texture, the TrueType font) staged in one flat folder.
set(VANTOR_CORE_STAGE ${CMAKE_BINARY_DIR}/OgreCore)
set(VANTOR_CORE_ZIP ${VANTOR_GAME_DIR}/Resource/ConfigData/OgreCore.zip)

set(VANTOR_GAME_STAMP ${CMAKE_BINARY_DIR}/game-resources.stamp)
add_custom_command(
  OUTPUT ${VANTOR_GAME_STAMP}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${VANTOR_GAME_SRC}/Resource ${VANTOR_GAME_DIR}/Resource
  COMMAND ${CMAKE_COMMAND} -E touch ${VANTOR_GAME_STAMP}
  DEPENDS ${VANTOR_GAME_FILES}
  COMMENT "Copying the game resources")

set(VANTOR_ASSET_STAMP ${CMAKE_BINARY_DIR}/game-assets.stamp)
file(GLOB VANTOR_ASSET_TOOLS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.py)
add_custom_command(
  OUTPUT ${VANTOR_ASSET_STAMP}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_assets.py ${VANTOR_GAME_DIR}/Resource ${VANTOR_CORE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E touch ${VANTOR_ASSET_STAMP}
  DEPENDS ${VANTOR_ASSET_TOOLS} ${VANTOR_GAME_STAMP}
  COMMENT "Generating textures, meshes and sounds")

add_custom_command(
  OUTPUT ${VANTOR_CORE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_GAME_DIR}/Resource/ConfigData ${VANTOR_CORE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy ${VANTOR_CORE_FILES} ${VANTOR_CORE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${VANTOR_CORE_ZIP}
  # Files sit at the root of the archive: the engine registers it non-recursively.
  COMMAND ${CMAKE_COMMAND} -E chdir ${VANTOR_CORE_STAGE}
          ${CMAKE_COMMAND} -E tar cf ${VANTOR_CORE_ZIP} --format=zip .
  DEPENDS ${VANTOR_CORE_FILES} ${VANTOR_ASSET_STAMP}
  COMMENT "Packing OgreCore.zip")

add_custom_target(game_folder ALL DEPENDS ${VANTOR_CORE_ZIP} ${VANTOR_GAME_STAMP} ${VANTOR_ASSET_STAMP})
add_dependencies(vantor game_folder)
