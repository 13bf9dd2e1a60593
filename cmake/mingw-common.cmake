# What both Windows toolchains share: the mingw root and the cross-built libraries are searched,
# programs of the build machine are not. TESSAMOR_MINGW_ROOT is set by the including file.
set(CMAKE_ASM_NASM_COMPILER nasm)
set(CMAKE_FIND_ROOT_PATH ${TESSAMOR_MINGW_ROOT} ${TESSAMOR_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
