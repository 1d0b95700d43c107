# The MinGW-w64 cross toolchain for the target named by LUMARI_MINGW_TRIPLE
# (set by the toolchain file that includes this one), posix thread model.
# The third-party libraries of the Windows program are cross-built with it too
# (scripts/windows-deps.sh), so it sets no link flags of the project's own:
# which binaries carry the C++ runtime inside is said per target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LUMARI_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMARI_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMARI_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMARI_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages (Qt, glog) come from the cross-built cache named by CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
