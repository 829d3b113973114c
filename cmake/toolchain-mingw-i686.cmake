# MinGW-w64 i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QVR_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
