# IBM Z Linux: big-endian, so the byte order of every eight-byte load shows.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(KORVANDA_CROSS_TRIPLE s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
