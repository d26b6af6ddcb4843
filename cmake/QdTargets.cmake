# Helpers that keep each folder's CMakeLists to a line or two: sources are
# picked up by glob so adding a file never means touching the build.

set(QD_WARNINGS -Wall -Wextra)

# qd_library(name DEPS ...): a static library from every .cpp/.h in the folder
# (recursively). A folder with no sources yet gets an interface target so that
# dependants can already name it.
function(qd_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    set(cpps ${srcs})
    list(FILTER cpps INCLUDE REGEX "\\.cpp$")
    if(cpps)
        add_library(${name} STATIC ${srcs})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
        target_compile_options(${name} PRIVATE ${QD_WARNINGS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# qd_test(name DIR dir DEPS ... [GUI]): one GoogleTest executable from every
# .cpp in tests/<dir>, registered with ctest test by test. Every test gets a
# fresh program directory (QD_HOME) from the shared test main; GUI tests run
# on the offscreen platform.
function(qd_test name)
    cmake_parse_arguments(ARG "GUI" "DIR" "DEPS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR}/*.h)
    add_executable(${name} ${srcs})
    target_link_libraries(${name} PRIVATE qd_test_main ${ARG_DEPS} GTest::gtest GTest::gmock)
    target_compile_options(${name} PRIVATE ${QD_WARNINGS})
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   TIMEOUT 120)
    add_dependencies(${name} qdstandin)
endfunction()
