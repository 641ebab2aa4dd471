# The Tarrowind runtime as a CMake package: find_package(TarrowindRuntime) gives the target
# Tarrowind::runtime (the static library, its headers and the Win32 libraries it calls).
include(${CMAKE_CURRENT_LIST_DIR}/TarrowindRuntimeTargets.cmake)
