# The shipped program: 32-bit Windows. This machine cannot execute it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TOOL_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwW64.cmake)
