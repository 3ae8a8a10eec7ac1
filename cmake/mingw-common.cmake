# The posix threads flavour of the compilers: GoogleTest and std::thread need it.
set(CMAKE_C_COMPILER ${BRAKKIS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRAKKIS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRAKKIS_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${BRAKKIS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No DLL may have to sit beside the exe: the runtime goes in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
