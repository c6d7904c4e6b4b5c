# The shipped program: 32-bit Windows. Its programs run here under Wine's
# 32-bit side through qemu-user's i386 emulation (tests/support/wine32-run),
# which needs no 32-bit support of the kernel.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TOOL_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwW64.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tests/support/wine32-run)
