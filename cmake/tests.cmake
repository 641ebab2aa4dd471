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

file(GLOB TEST_AREAS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
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
    add_executable(test_${area} ${sources} ${CMAKE_SOURCE_DIR}/tests/test_main.cpp)
    target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(test_${area} PRIVATE game gtest)
    add_dependencies(test_${area} assets tarrowind ${program_targets})
    add_test(NAME ${area} COMMAND test_${area} WORKING_DIRECTORY ${BIN_DIR})
    set_tests_properties(${area} PROPERTIES TIMEOUT 600)
endforeach()

# The end-to-end run: the driver starts the installed game and plays it from outside.
if(TARGET driver)
    add_dependencies(driver tarrowind assets)
    add_test(NAME e2e COMMAND driver WORKING_DIRECTORY ${BIN_DIR})
    set_tests_properties(e2e PROPERTIES TIMEOUT 900)
endif()

# The viewer's end-to-end check: starts tarrowind-viewer.exe with the files in
# viewer-files/ and checks it from outside, then soaks the viewer's routines in-process.
if(TARGET viewer_check)
    add_test(NAME viewer COMMAND viewer_check WORKING_DIRECTORY ${BIN_DIR})
    set_tests_properties(viewer PROPERTIES TIMEOUT 600)
endif()

# The README's list of the runtime's routines agrees with the three headers (Python only).
add_test(NAME docs COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/runtime_routines.py)
