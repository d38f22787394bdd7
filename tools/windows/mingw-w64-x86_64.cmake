# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOTOBUNE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KOTOBUNE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOTOBUNE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KOTOBUNE_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KOTOBUNE_MINGW_TRIPLET} ${KOTOBUNE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The compiler's own runtime goes into the programs, so only the libraries we ship are DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
# Tests run the programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
# pkg-config finds only the libraries built for Windows, also when a build re-runs CMake.
if(KOTOBUNE_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${KOTOBUNE_WINDOWS_DEPS}/lib/pkgconfig)
endif()
