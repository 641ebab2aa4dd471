# Test programs: one GoogleTest program per folder of tests/ (tests/core -> test_core.exe),
# plus one small program per file in tests/<area>/programs/ for behaviour that ends a
# process (each becomes <file name>.exe beside the tests).

# GoogleTest from Debian's source package, built with the cross compiler.
set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR} "
                        "(Debian package googletest, or set GTEST_SOURCE_DIR)")
endif()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main)
    if(TARGET ${t})
        target_compile_options(${t} PRIVATE -Wno-error)
    endif()
endforeach()

# Helpers shared by the test programs: the GoogleTest entry, and the resource census that
# the soak tests and the viewer's check count a process's objects with.
add_library(test_census STATIC ${CMAKE_SOURCE_DIR}/tests/support/census.cpp)
target_link_libraries(test_census PUBLIC runtime)
target_include_directories(test_census PUBLIC ${CMAKE_SOURCE_DIR})

# The sound recorder that the sound tests and the driver start, copied beside them.
add_custom_command(OUTPUT ${BIN_DIR}/listen.py
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/tests/support/listen.py ${BIN_DIR}/listen.py
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/listen.py)
add_custom_target(test_recorder DEPENDS ${BIN_DIR}/listen.py)

# One GoogleTest program per area folder; tests/e2e and tests/support hold no area.
file(GLOB TEST_AREAS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
list(REMOVE_ITEM TEST_AREAS ${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_SOURCE_DIR}/tests/support)
foreach(dir ${TEST_AREAS})
    if(NOT IS_DIRECTORY ${dir})
        continue()
    endif()
    get_filename_component(area ${dir} NAME)
    file(GLOB programs CONFIGURE_DEPENDS ${dir}/programs/*.cpp)
    set(program_targets)
    foreach(src ${programs})
        get_filename_component(name ${src} NAME_WE)
        add_executable(${name} ${src})
        target_link_libraries(${name} PRIVATE game)
        list(APPEND program_targets ${name})
    endforeach()
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.rc)
    if(NOT sources)
        continue()
    endif()
    add_executable(test_${area} ${sources} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
    target_link_libraries(test_${area} PRIVATE game test_census gtest)
    add_dependencies(test_${area} assets test_recorder tarrowind ${program_targets})
    # The areas' tests keep the system's code page (Windows-1252 in the suite's locale): they
    # hold what a program that opts out of UTF-8 relies on. text runs in UTF-8, as programs
    # do, and faults runs the viewer's routines as the viewer does.
    if(NOT area STREQUAL "text" AND NOT area STREQUAL "faults")
        set_target_properties(test_${area} ${program_targets} PROPERTIES
                              TARROWIND_SYSTEM_CODE_PAGE ON)
    endif()
    add_test(NAME ${area} COMMAND test_${area} WORKING_DIRECTORY ${BIN_DIR})
    set_tests_properties(${area} PROPERTIES TIMEOUT 600)
endforeach()
# The text area's folder child once more, keeping the system's code page.
add_executable(folder_child_system ${CMAKE_SOURCE_DIR}/tests/text/programs/folder_child.cpp)
target_link_libraries(folder_child_system PRIVATE game)
set_target_properties(folder_child_system PROPERTIES TARROWIND_SYSTEM_CODE_PAGE ON)
add_dependencies(test_text folder_child_system)
# The faults area also runs the viewer's routines, with the viewer's resources and files.
target_sources(test_faults PRIVATE ${VIEWER_RC})
target_link_libraries(test_faults PRIVATE viewer_lib)
add_dependencies(test_faults viewer_samples viewer_test_files)
set_tests_properties(faults PROPERTIES TIMEOUT 3600 FIXTURES_REQUIRED valid_files)
# Its valid set, pictures and waves of every variant, is written when the tests run.
add_test(NAME valid_files
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/faults/make_valid_files.py
                 ${BIN_DIR}/valid-files)
set_tests_properties(valid_files PROPERTIES FIXTURES_SETUP valid_files)

# ---- End-to-end checks: separate programs that drive the real programs from outside ----
# tests/e2e/common holds their shared reporting, process and screen helpers.
file(GLOB E2E_COMMON CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/common/*.cpp)
add_library(e2e_common STATIC ${E2E_COMMON})
target_include_directories(e2e_common PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(e2e_common PUBLIC user32 gdi32 kernel32 ole32 oleaut32 uuid)

# The game's driver starts the installed game and plays it from outside.
file(GLOB DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/game/*.cpp)
add_executable(driver ${DRIVER_SOURCES})
target_link_libraries(driver PRIVATE e2e_common)
add_dependencies(driver tarrowind assets test_recorder)
add_test(NAME e2e COMMAND driver WORKING_DIRECTORY ${BIN_DIR})
# About 150 s on a quiet machine; a machine loaded many times over (./test --load) may take
# ten times that before a check's generous bounds run out.
set_tests_properties(e2e PROPERTIES TIMEOUT 1500)

# The viewer's check starts tarrowind-viewer.exe with the files in viewer-files/ and checks
# it from outside, then soaks the viewer's routines in its own process (with the viewer's
# resources linked in). Its test files are made beside the samples by a step of their own.
set(VIEWER_TEST_DATA)
foreach(f picture.bmp picture.ico picture.gif broken.gif line-ends.txt long-line.txt empty.txt
          data.bin utf8.txt utf8-bom.txt utf16.txt tabs.txt many-lines.txt big.bmp find.txt)
    list(APPEND VIEWER_TEST_DATA ${VIEWER_FILES}/${f})
endforeach()
add_custom_command(OUTPUT ${VIEWER_TEST_DATA}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/e2e/viewer/make_test_files.py
            ${VIEWER_FILES}
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/viewer/make_test_files.py
            ${CMAKE_SOURCE_DIR}/tools/make_viewer_samples.py
            ${CMAKE_SOURCE_DIR}/tools/make_pictures.py
    COMMENT "Making the viewer check's files")
add_custom_target(viewer_test_files DEPENDS ${VIEWER_TEST_DATA})
file(GLOB VIEWER_CHECK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/viewer/*.cpp)
add_executable(viewer_check ${VIEWER_CHECK_SOURCES} ${VIEWER_RC})
target_link_libraries(viewer_check PRIVATE e2e_common test_census viewer_lib)
add_dependencies(viewer_check tarrowind-viewer viewer_samples viewer_test_files)
add_test(NAME viewer COMMAND viewer_check WORKING_DIRECTORY ${BIN_DIR})
# About 40 s on a quiet machine, over 300 s seen under heavy load: room for far more.
set_tests_properties(viewer PROPERTIES TIMEOUT 1500)

# The runtime installed as a package, built alone from the sources: examples/hello and
# examples/tally built against it as projects of their own; Hello run and read back from the
# screen by hello_check, Tally driven with real input by tally_check (the test tally).
add_executable(hello_check ${CMAKE_SOURCE_DIR}/tests/e2e/package/hello_check.cpp)
target_link_libraries(hello_check PRIVATE e2e_common)
add_executable(tally_check ${CMAKE_SOURCE_DIR}/tests/e2e/tally/tally_check.cpp)
target_link_libraries(tally_check PRIVATE e2e_common)
add_test(NAME package
         COMMAND ${CMAKE_COMMAND} -D BUILD=${CMAKE_BINARY_DIR} -D SOURCE=${CMAKE_SOURCE_DIR}
                 -D TOOLCHAIN=${CMAKE_TOOLCHAIN_FILE} -D GENERATOR=${CMAKE_GENERATOR}
                 -D EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR} -D CHECK=$<TARGET_FILE:hello_check>
                 -P ${CMAKE_SOURCE_DIR}/tests/e2e/package/install_test.cmake)
set_tests_properties(package PROPERTIES TIMEOUT 600 FIXTURES_SETUP installed_programs)
set(TALLY_FOLDER ${CMAKE_BINARY_DIR}/package-test/tally)
if(CMAKE_CROSSCOMPILING)
    set(TALLY_FOLDER Z:${TALLY_FOLDER}) # Wine reaches the Unix folder through drive Z:
endif()
add_test(NAME tally COMMAND tally_check ${TALLY_FOLDER} WORKING_DIRECTORY ${BIN_DIR})
set_tests_properties(tally PROPERTIES TIMEOUT 600 FIXTURES_REQUIRED installed_programs)

# The list of the runtime's routines in docs/runtime.md agrees with the headers (Python only).
add_test(NAME docs COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/runtime_routines.py)

# ./play's set-up gives Wine a UTF-8 locale whatever the desktop's (a shell check, no Wine).
add_test(NAME play COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/play/locale_check.sh)
