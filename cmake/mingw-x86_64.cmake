# MinGW-w64 cross toolchain for 64-bit Windows (x86-64): the test twin of the i686 build, for hosts
# whose kernel cannot run 32-bit x86 code. The shipped installer is always the i686 one.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZUNOR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
