# The web build with Debian's Emscripten (package emscripten, installed in
# /usr/share/emscripten, on Debian's clang and lld). Used by the `web` preset.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Emscripten's JavaScript optimiser (run by em++ when it links at -O1 and
# above) needs Debian's node modules (acorn), which node does not search by
# default.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
