# The MinGW-w64 cross toolchain for the target named by LUMARI_MINGW_TRIPLE
# (set by the toolchain file that includes this one), posix thread model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LUMARI_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMARI_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMARI_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMARI_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The Windows binaries run on a PC that has only Windows: the C++ runtime,
# libgcc and the thread library are linked into each DLL and program.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
