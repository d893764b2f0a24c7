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
    target_link_libraries(${target} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      LABELS ${component}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
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
    target_link_libraries(${target} PRIVATE ${ARGN} Qt6::Test)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      LABELS ${component}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()

# Marks tests of the current directory as tests that start threads: they get
# the label "threads" and are built by the target threads_tests, which the
# ThreadSanitizer preset builds (ctest -L threads runs them). Names of tests
# that are not built here are skipped.
function(qdv_threads_tests)
  foreach(test ${ARGN})
    if(TARGET ${test})
      get_test_property(${test} LABELS labels)
      set_tests_properties(${test} PROPERTIES LABELS "${labels};threads")
      add_dependencies(threads_tests ${test})
    endif()
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

# libFuzzer programs (QDV_FUZZ builds only): one per fuzz/fuzz_*.cpp file,
# named <component>_fuzz_<reader>. Each reads its seeds from
# fuzz/corpus/<reader>/ in the source tree (inputs worth keeping, such as
# former crashes) and, when the component has fuzz/write_seeds.cpp, from the
# corpus that program writes at build time. Two tests each: a replay of the
# seeds, and a run of QDV_FUZZ_SECONDS that keeps what it finds in the build
# tree (QDV_FUZZ_SECONDS in the environment, 20 by default). Extra
# arguments are libraries to link.
function(qdv_add_fuzzers component)
  if(NOT QDV_FUZZ)
    return()
  endif()
  if(NOT TARGET fuzz_all)
    add_custom_target(fuzz_all)
  endif()
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/fuzz_seeds)
  set(seed_target "")
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/write_seeds.cpp)
    set(seed_target ${component}_fuzz_write_seeds)
    add_executable(${seed_target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/write_seeds.cpp)
    target_link_libraries(${seed_target} PRIVATE ${ARGN})
    add_custom_command(OUTPUT ${generated}/.written
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${generated}
      COMMAND ${seed_target} ${generated}
      COMMAND ${CMAKE_COMMAND} -E touch ${generated}/.written
      DEPENDS ${seed_target} VERBATIM)
    add_custom_target(${component}_fuzz_seeds DEPENDS ${generated}/.written)
    add_dependencies(fuzz_all ${component}_fuzz_seeds)
  endif()
  file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_*.cpp)
  foreach(src ${fuzz_sources})
    get_filename_component(name ${src} NAME_WE)
    string(REGEX REPLACE "^fuzz_" "" reader ${name})
    set(target ${component}_${name})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARGN})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    add_dependencies(fuzz_all ${target})
    set(seeds "")
    foreach(dir ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${reader} ${generated}/${reader})
      if(EXISTS ${dir} OR (seed_target AND dir STREQUAL ${generated}/${reader}))
        list(APPEND seeds ${dir})
      endif()
    endforeach()
    set(found ${CMAKE_CURRENT_BINARY_DIR}/fuzz_found/${reader})
    add_test(NAME ${target}_replay COMMAND ${target} -runs=0 ${seeds})
    add_test(NAME ${target}_run COMMAND sh -c
      "mkdir -p '${found}' && exec \"$0\" -max_total_time=\${QDV_FUZZ_SECONDS:-20} -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 '${found}' \"$@\""
      $<TARGET_FILE:${target}> ${seeds})
    set_tests_properties(${target}_replay ${target}_run PROPERTIES
      LABELS fuzz ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()
