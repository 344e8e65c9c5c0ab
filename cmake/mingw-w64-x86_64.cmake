# Cross toolchain: 64-bit Windows executables from Debian's mingw-w64.
# The -posix flavour is required: the win32 thread model has no std::mutex,
# which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELVO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${ZELVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZELVO_MINGW_TRIPLE}-windres)
set(CMAKE_AR           ${ZELVO_MINGW_TRIPLE}-gcc-ar-posix)
set(CMAKE_RANLIB       ${ZELVO_MINGW_TRIPLE}-gcc-ranlib-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELVO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: Wine has no libstdc++-6.dll / libgcc_s_seh-1.dll to load
# (a dynamic build dies with c0000135).
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
