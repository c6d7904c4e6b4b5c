# 64-bit Windows, the build whose programs run here under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwW64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tests/support/wine-run)
