# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix).  The "-posix" compilers use the winpthreads
# thread model, which std::thread, std::mutex and thread_local need.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The toolchain's runtime (libstdc++, libgcc, winpthreads) is linked
# statically into every DLL and program, so the build output runs without
# any MinGW DLL beside it.  Programs built here run on Linux under Wine: the
# emulator below lets ctest and gtest_discover_tests start them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZPK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZPK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZPK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZPK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZPK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Eigen is header-only and the same on every platform: use the host's copy.
set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "Eigen3 package configuration")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

find_program(ZPK_WINE NAMES wine wine64)
if(ZPK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZPK_WINE})
endif()
# Test programs are listed when ctest runs, not after every link, so that a
# build does not start Wine once per test program.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
