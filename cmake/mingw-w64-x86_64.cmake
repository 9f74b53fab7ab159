# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX thread
# model, which gives std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORN_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VORN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORN_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot and from the folder the
# cross-built dependencies were installed into (VORN_WINDOWS_DEPS).
set(CMAKE_FIND_ROOT_PATH /usr/${VORN_MINGW_TRIPLE} ${VORN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(VORN_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${VORN_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORN_WINDOWS_DEPS)
