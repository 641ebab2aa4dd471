# The runtime as a user gets it: configures the library alone in an empty folder where
# neither Python nor GoogleTest can be found, builds and installs it into a fresh prefix,
# then configures examples/hello and examples/tally as projects of their own against that
# prefix (find_package, and the toolchain file installed with the package), builds them and
# runs hello_check on Hello. Tally's own check (the ctest test tally) runs on what this
# leaves in package-test/tally.
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

# Passes when condition, an if() condition written as a list ("NOT;found"), holds.
function(expect what condition)
    if(NOT ( ${condition} ))
        message(FATAL_ERROR "FAIL ${what}: ${ARGN}")
    endif()
    message("PASS ${what}")
endfunction()

set(toolchain)
if(TOOLCHAIN)
    set(toolchain -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN})
endif()
step("the runtime alone configures in an empty folder without Python or GoogleTest"
     ${CMAKE_COMMAND} -S ${SOURCE} -B ${work}/library -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Release
     -DTARROWIND_PROGRAMS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON
     -DPython3_EXECUTABLE=${work}/no-python -DGTEST_SOURCE_DIR=${work}/no-googletest ${toolchain})
step("the runtime alone builds" ${CMAKE_COMMAND} --build ${work}/library --parallel 2)
file(GLOB_RECURSE programs ${work}/library/*.exe)
list(FILTER programs EXCLUDE REGEX "/CMakeFiles/") # the compiler checks' own
expect("it builds no program or test" "NOT;programs" ${programs})
step("it installs into a fresh prefix" ${CMAKE_COMMAND} --install ${work}/library --prefix ${work}/prefix)

set(package lib/cmake/TarrowindRuntime)
set(missing)
foreach(file include/runtime/core/core.h include/runtime/window/window.h
             include/runtime/draw/draw.h include/runtime/dialog/dialog.h lib/libruntime.a
             ${package}/TarrowindRuntimeConfig.cmake ${package}/mingw-w64.cmake
             ${package}/mingw-w64-x86_64.cmake ${package}/mingw-w64-i686.cmake
             bin/tarrowind-wine-setup)
    if(NOT EXISTS ${work}/prefix/${file})
        list(APPEND missing ${file})
    endif()
endforeach()
file(GLOB_RECURSE internal ${work}/prefix/include/*_internal.h)
expect("the prefix holds the headers, the library, the package and the toolchains, no internals"
       "NOT;missing;AND;NOT;internal" "missing ${missing}, internal ${internal}")

# A program's build names the toolchain from the prefix, not from the runtime's sources.
set(installed_toolchain)
if(TOOLCHAIN)
    get_filename_component(name ${TOOLCHAIN} NAME)
    set(installed_toolchain -DCMAKE_TOOLCHAIN_FILE=${work}/prefix/${package}/${name})
endif()
foreach(program hello tally)
    step("examples/${program} configures against the installed package"
         ${CMAKE_COMMAND} -S ${SOURCE}/examples/${program} -B ${work}/${program} -G ${GENERATOR}
         -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${work}/prefix ${installed_toolchain})
    step("examples/${program} builds" ${CMAKE_COMMAND} --build ${work}/${program})
endforeach()
# Tally stands on the runtime alone: its own objects import no platform routine (every
# platform call goes through the library's).
file(STRINGS ${work}/tally/CMakeCache.txt nm REGEX "^CMAKE_NM:")
string(REGEX REPLACE "^[^=]*=" "" nm "${nm}")
file(GLOB_RECURSE objects ${work}/tally/*.obj ${work}/tally/*.o)
list(FILTER objects EXCLUDE REGEX "/CMakeFiles/[0-9.]+/") # the compiler checks' own
execute_process(COMMAND ${nm} -u ${objects} OUTPUT_VARIABLE undefined RESULT_VARIABLE status)
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${undefined}")
expect("Tally's own code calls no platform routine" "status;EQUAL;0;AND;objects;AND;NOT;imports"
       "${imports}")
# The package linked its manifest in: each program's ANSI code page is UTF-8.
foreach(program hello tally)
    file(STRINGS ${work}/${program}/${program}.exe manifest REGEX "activeCodePage.*UTF-8")
    expect("${program}.exe holds the package's UTF-8 manifest" "manifest")
endforeach()
# Under Wine the Unix folder is reached through drive Z:, which maps the root.
set(folder ${work}/hello)
if(EMULATOR)
    set(folder Z:${folder})
endif()
step("hello.exe runs and shows its text" ${EMULATOR} ${CHECK} ${folder})
