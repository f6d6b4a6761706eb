# One static library per layer: every .cpp of the folder goes in, so adding a
# file never means editing a list.
function(frameloop_layer name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(frameloop_${name} STATIC ${sources})
    target_include_directories(frameloop_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(frameloop_${name} PUBLIC ${ARG_DEPS})
endfunction()

# One test program from `sources`, the shared test main and `deps`; the
# command-line program is built first and its path compiled in when
# `uses_cli` is set.
function(frameloop_test_program target uses_cli sources deps properties)
    add_executable(${target} ${sources})
    target_link_libraries(${target} PRIVATE frameloop_test_support ${deps})
    target_compile_definitions(${target} PRIVATE
        FRAMELOOP_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        FRAMELOOP_ARTIFACTS="${CMAKE_CURRENT_BINARY_DIR}/artifacts")
    if(uses_cli)
        target_compile_definitions(${target} PRIVATE FRAMELOOP_CLI="$<TARGET_FILE:frameloop-cli>")
        add_dependencies(${target} frameloop-cli)
    endif()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ${properties})
endfunction()

# The test programs of one tests/<folder>: test_<folder> from every
# *_test.cpp, and test_<folder>_x11 from every *_x11_test.cpp. The X11 ones
# share the one test X server, so they hold its lock and never run alongside
# each other.
function(frameloop_test_folder name)
    cmake_parse_arguments(ARG "USES_CLI" "" "DEPS;PROPERTIES" ${ARGN})
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    file(GLOB x11_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_x11_test.cpp)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
    if(x11_sources)
        list(REMOVE_ITEM sources ${x11_sources})
    endif()
    if(sources)
        frameloop_test_program(test_${name} "${ARG_USES_CLI}" "${sources};${headers}" "${ARG_DEPS}"
                               "${ARG_PROPERTIES}")
    endif()
    if(x11_sources)
        frameloop_test_program(test_${name}_x11 "${ARG_USES_CLI}" "${x11_sources};${headers}"
                               "${ARG_DEPS}" "RESOURCE_LOCK;x11;${ARG_PROPERTIES}")
    endif()
endfunction()

# A check of the running program as a screen reader drives it: `script` (in
# the calling test folder) is run by the system's python, whose pyatspi
# Debian ships, with the program, a work folder and an artifacts folder. It
# holds the test X server's lock and exits 77 (skipped) where the AT-SPI bus
# or pyatspi is missing. Only where the window program is built.
function(frameloop_atspi_test name script)
    if(NOT TARGET frameloop)
        return()
    endif()
    add_test(NAME AtSpi.${name}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/${script}
                     $<TARGET_FILE:frameloop> ${CMAKE_CURRENT_BINARY_DIR}/atspi
                     ${CMAKE_CURRENT_BINARY_DIR}/artifacts)
    set_tests_properties(AtSpi.${name} PROPERTIES
                         RESOURCE_LOCK x11 SKIP_RETURN_CODE 77 TIMEOUT 300)
endfunction()
