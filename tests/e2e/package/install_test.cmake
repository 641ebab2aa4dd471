# The installed runtime used as a package: installs the build into a fresh prefix,
# configures examples/hello as a project of its own against it (find_package), builds it
# with the same toolchain and runs hello_check on the result.
# Run by ctest as: cmake -D BUILD=... -D SOURCE=... -D TOOLCHAIN=... -D GENERATOR=...
#                        -D EMULATOR=... -D CHECK=... -P install_test.cmake
set(work ${BUILD}/package-test)
file(REMOVE_RECURSE ${work})

function(step what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "FAIL ${what} (${status}):\n${out}")
    endif()
    message("PASS ${what}")
endfunction()

step("the runtime installs into a fresh prefix"
     ${CMAKE_COMMAND} --install ${BUILD} --prefix ${work}/prefix)
foreach(file include/runtime/core/core.h include/runtime/window/window.h
             include/runtime/draw/draw.h include/runtime/dialog/dialog.h lib/libruntime.a
             lib/cmake/TarrowindRuntime/TarrowindRuntimeConfig.cmake bin/tarrowind-wine-setup)
    if(NOT EXISTS ${work}/prefix/${file})
        message(FATAL_ERROR "FAIL the prefix holds ${file}")
    endif()
endforeach()
file(GLOB_RECURSE internal ${work}/prefix/include/*_internal.h)
if(internal)
    message(FATAL_ERROR "FAIL internal headers were installed: ${internal}")
endif()
message("PASS the prefix holds the public headers, the library and the package, no internals")

set(toolchain)
if(TOOLCHAIN)
    set(toolchain -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
step("examples/hello configures against the installed package"
     ${CMAKE_COMMAND} -S ${SOURCE}/examples/hello -B ${work}/hello -G ${GENERATOR}
     -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${work}/prefix ${toolchain})
step("examples/hello builds" ${CMAKE_COMMAND} --build ${work}/hello)
# The package linked its manifest in: the program's ANSI code page is UTF-8.
file(STRINGS ${work}/hello/hello.exe manifest REGEX "activeCodePage.*UTF-8")
if(NOT manifest)
    message(FATAL_ERROR "FAIL hello.exe holds the package's UTF-8 manifest")
endif()
message("PASS hello.exe holds the package's UTF-8 manifest")
# Under Wine the Unix folder is reached through drive Z:, which maps the root.
set(folder ${work}/hello)
if(EMULATOR)
    set(folder Z:${folder})
endif()
step("hello.exe runs and shows its text" ${EMULATOR} ${CHECK} ${folder})
