# MinGW-w64 cross toolchain for 32-bit Windows (i686): the installer that ships.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZUNOR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
