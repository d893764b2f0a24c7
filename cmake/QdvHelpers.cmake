# Helpers shared by the components' CMakeLists.

# Hot code is built at -O3 whatever the build type (except in Debug).
function(qdv_hot_code target)
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O3>)
endfunction()

# One test program per tests/test_*.cpp file, so that a component's test files
# build and fail independently. Extra arguments are libraries to link.
function(qdv_add_gtests component)
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/test_*.cpp)
  file(GLOB support_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/support_*.cpp)
  foreach(src ${test_sources})
    get_filename_component(name ${src} NAME_WE)
    set(target ${component}_${name})
    add_executable(${target} ${src} ${support_sources})
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      LABELS ${component}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1")
  endforeach()
endfunction()

# Qt tests: one QtTest program per tests/tst_*.cpp file, run headless.
function(qdv_add_qttests component)
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/tst_*.cpp)
  foreach(src ${test_sources})
    get_filename_component(name ${src} NAME_WE)
    set(target ${component}_${name})
    add_executable(${target} ${src})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${ARGN} Qt6::Test)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      LABELS ${component}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()

# One benchmark program per bench/bench_*.cpp file; benchmarks are not tests.
function(qdv_add_benchmarks component)
  if(NOT QDV_BUILD_BENCHMARKS)
    return()
  endif()
  file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/bench_*.cpp)
  foreach(src ${bench_sources})
    get_filename_component(name ${src} NAME_WE)
    set(target ${component}_${name})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARGN} benchmark::benchmark)
    qdv_hot_code(${target})
  endforeach()
endfunction()
