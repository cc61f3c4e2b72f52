# add_unit_test(<name> SOURCES <files...> [LIBS <targets...>] [QT] [LABEL <label>])
#
# One test executable registered with CTest. Plain tests link gtest_main; QT tests get a
# main that creates a QApplication first, and run on the offscreen platform. Every test
# runs in its own scratch directory under the build tree (QUILLAN_TEST_TMP), with HOME and the
# XDG directories inside it, so that nothing a test does reaches the user's own files.
find_package(GTest REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Test)

add_library(quillan_qt_test_main STATIC ${CMAKE_CURRENT_LIST_DIR}/../tests/support/QtTestMain.cpp)
target_link_libraries(quillan_qt_test_main PUBLIC GTest::gtest Qt6::Widgets)

function(add_unit_test name)
  cmake_parse_arguments(UT "QT" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${UT_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    QUILLAN_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    QUILLAN_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(UT_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE quillan_qt_test_main GTest::gmock Qt6::Test ${UT_LIBS})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${UT_LIBS})
  endif()
  set(tmp ${CMAKE_CURRENT_BINARY_DIR}/${name}.tmp)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUILLAN_TEST_TMP=${tmp};HOME=${tmp}/home;XDG_CONFIG_HOME=${tmp}/home/.config;XDG_DATA_HOME=${tmp}/home/.local/share;XDG_CACHE_HOME=${tmp}/home/.cache;XDG_RUNTIME_DIR=${tmp}/runtime"
    TIMEOUT 300)
  if(UT_LABEL)
    set_tests_properties(${name} PROPERTIES LABELS ${UT_LABEL})
  endif()
endfunction()
