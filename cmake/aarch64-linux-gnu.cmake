# Cross-building for 64-bit ARM with Debian's cross compiler and the arm64
# libraries of a multiarch system (dpkg --add-architecture arm64). The tests
# run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# The tests run under qemu-user with the arm64 loader and C library that
# multiarch installs under / (libc6:arm64, which the arm64 libraries pull in),
# not the cross compiler's copy in /usr/aarch64-linux-gnu: that loader comes
# from another Debian revision of the C library than the libc.so.6 it then
# loads from /lib/aarch64-linux-gnu, and the two disagree on their private
# layout, so the first pthread_create loops for ever in the stack cache.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /)
