# Shared part of the two MinGW-w64 toolchains; TORVA_TRIPLE is set by the includer.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TORVA_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVA_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TORVA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No MinGW runtime DLLs beside the add-in or the tests.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
