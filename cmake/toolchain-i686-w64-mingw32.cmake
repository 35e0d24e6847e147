# Cross build of the Windows program with Debian's mingw-w64 compilers (the
# posix thread model, which std::thread and std::mutex need). The program and
# its tests are linked statically, so that they run on any Windows machine and
# under Wine without the compiler's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORVEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
