# Installing the runtime for other CMake projects: the public headers (one per area, in
# include/runtime/<area>/), the static library, and a CMake package, so that a project
# says find_package(TarrowindRuntime) and links Tarrowind::runtime.
# The runtime's internal headers (*_internal.h) stay behind: programs never include them.
include(CMakePackageConfigHelpers)

set(RUNTIME_PACKAGE_DIR lib/cmake/TarrowindRuntime)
foreach(area core window draw dialog)
    install(FILES ${CMAKE_SOURCE_DIR}/runtime/${area}/${area}.h DESTINATION include/runtime/${area})
endforeach()
# The compiled manifest resource that executables linking the runtime take (CMakeLists.txt).
install(FILES $<TARGET_OBJECTS:runtime_manifest> DESTINATION ${RUNTIME_PACKAGE_DIR}
        RENAME ${RUNTIME_MANIFEST_OBJECT})
# The script that prepares a Wine prefix for programs on the runtime (docs/text.md).
install(PROGRAMS ${CMAKE_SOURCE_DIR}/tools/tarrowind-wine-setup DESTINATION bin)
install(TARGETS runtime EXPORT TarrowindRuntimeTargets ARCHIVE DESTINATION lib)
install(EXPORT TarrowindRuntimeTargets NAMESPACE Tarrowind:: DESTINATION ${RUNTIME_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/generated/TarrowindRuntimeConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/TarrowindRuntimeConfig.cmake
              ${CMAKE_BINARY_DIR}/generated/TarrowindRuntimeConfigVersion.cmake
        DESTINATION ${RUNTIME_PACKAGE_DIR})
# The cross toolchains beside the package, so that a program's own build names them from the
# prefix (-DCMAKE_TOOLCHAIN_FILE=<prefix>/lib/cmake/TarrowindRuntime/mingw-w64-x86_64.cmake)
# rather than from the runtime's source tree.
install(FILES ${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake ${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
              ${CMAKE_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
        DESTINATION ${RUNTIME_PACKAGE_DIR})
