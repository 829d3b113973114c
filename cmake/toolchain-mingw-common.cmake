# Shared by the MinGW-w64 toolchain files, which set QVR_TRIPLET and the processor first.
# Real Windows binaries, posix threads; tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QVR_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVR_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QVR_TRIPLET}-windres)
set(CMAKE_AR ${QVR_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${QVR_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/${QVR_TRIPLET} ${CMAKE_CURRENT_LIST_DIR}/../build/deps/${QVR_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The static zlib: FindZLIB would otherwise pick the import library and tie us to zlib1.dll.
set(ZLIB_LIBRARY /usr/${QVR_TRIPLET}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${QVR_TRIPLET}/include CACHE PATH "")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec.sh)
