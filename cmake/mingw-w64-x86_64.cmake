# Cross build for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix). The -posix compilers use the POSIX thread
# model, which the tool needs for std::mutex and std::thread; everything is
# linked statically so that no libstdc++, libgcc or winpthread DLL has to
# travel with the binaries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TARNWICK_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TARNWICK_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_DLLTOOL ${TARNWICK_MINGW_TRIPLE}-dlltool CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${TARNWICK_MINGW_TRIPLE}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
