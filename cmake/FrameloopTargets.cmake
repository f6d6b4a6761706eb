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

# One test program per tests/<folder>: every *_test.cpp of the folder, the
# shared test main, and the layers it names.
function(frameloop_test_folder name)
    cmake_parse_arguments(ARG "" "" "DEPS;PROPERTIES" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*.h
                                        ${CMAKE_CURRENT_SOURCE_DIR}/*_fixture.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(test_${name} ${sources})
    target_link_libraries(test_${name} PRIVATE frameloop_test_support ${ARG_DEPS})
    target_compile_definitions(test_${name} PRIVATE
        FRAMELOOP_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        FRAMELOOP_CLI="$<TARGET_FILE:frameloop-cli>")
    add_dependencies(test_${name} frameloop-cli)
    gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ${ARG_PROPERTIES})
endfunction()
