# Builds the Linux program for another processor with Debian's cross
# compilers, and runs what the build made under qemu-user. Included by
# the per-processor files, which set KORVANDA_CROSS_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${KORVANDA_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KORVANDA_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANDA_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests are linked dynamically against the processor's own libraries,
# which qemu finds under the cross prefix: the loader from there, and the
# libraries from there too, not the ones of that processor that a machine
# building its .debs has installed (libc6:s390x), which its cache names
# and which need not match that loader.
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${KORVANDA_CROSS_TRIPLE}
    -E LD_LIBRARY_PATH=/usr/${KORVANDA_CROSS_TRIPLE}/lib)
