# Each subsystem folder is its own library so that one subsystem (and its
# tests) builds without the others; quillon_core and quillon_gui gather them.
#
#   quillon_module(<target> <folder> [DEPS targets...])
# Sources are every .cpp in the folder; a folder without sources yet becomes an
# INTERFACE library so dependants still link.
function(quillon_module target folder)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC quillon_settings ${M_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE quillon_settings ${M_DEPS})
  endif()
endfunction()

# quillon_core_tests(<subsystem> [DEPS targets...])
# One GoogleTest executable per subsystem from tests/core/<subsystem>/*.cpp.
function(quillon_core_tests sub)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_core_${sub} ${sources})
  target_link_libraries(test_core_${sub} PRIVATE core_${sub} ${T_DEPS}
    GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(test_core_${sub} PRIVATE
    QUILLON_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  # Shared test helpers: #include "support/...".
  target_include_directories(test_core_${sub} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME core_${sub} COMMAND test_core_${sub})
  set_tests_properties(core_${sub} PROPERTIES TIMEOUT 600)
endfunction()

# quillon_gui_tests(<subsystem> [DEPS targets...])
# One Qt Test executable per file in tests/gui/<subsystem>/, run offscreen.
function(quillon_gui_tests sub)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    set(exe test_gui_${sub}_${name})
    add_executable(${exe} ${src})
    target_link_libraries(${exe} PRIVATE gui_${sub} ${T_DEPS} Qt6::Test Threads::Threads)
    target_compile_definitions(${exe} PRIVATE
      QUILLON_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
    target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    add_test(NAME gui_${sub}_${name} COMMAND ${exe})
    set_tests_properties(gui_${sub}_${name} PROPERTIES TIMEOUT 600
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu;QTWEBENGINE_DISABLE_SANDBOX=1")
  endforeach()
endfunction()
