# 64-bit Arm Linux, little-endian.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(KORVANDA_CROSS_TRIPLE aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
