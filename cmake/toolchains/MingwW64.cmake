# Shared part of the mingw-w64 toolchain files: the -posix compilers (their
# C++ library has std::thread and std::recursive_mutex) and the prefix of
# third-party libraries that scripts/build-windows cross-builds, given as
# MERINDO_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TOOL_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TOOL_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TOOL_PREFIX}-windres)
set(CMAKE_AR ${MINGW_TOOL_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TOOL_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MERINDO_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TOOL_PREFIX} ${MERINDO_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config finds the prefix's .pc files only (libsodium).
if(MERINDO_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${MERINDO_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
