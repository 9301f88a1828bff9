# Small helpers shared by every module's CMakeLists.

# Warnings for project code only; third-party headers come in as SYSTEM.
function(zarn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
    # g++ 12 reports coroutine frames falsely, and warns about members left to
    # their default initializers in aggregate initialisation, which our value
    # types rely on.
    $<$<CXX_COMPILER_ID:GNU>:-Wno-mismatched-new-delete -Wno-missing-field-initializers>)
endfunction()

# zarn_library(NAME SOURCES ... [DEPS ...] [PUBLIC_DEPS ...])
# One static library per module. Headers are reached as "<module>/<file>.h"
# from the include root passed in INCLUDE_ROOT (defaults to the parent folder).
function(zarn_library name)
  cmake_parse_arguments(Z "" "INCLUDE_ROOT" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${Z_SOURCES})
  if(NOT Z_INCLUDE_ROOT)
    get_filename_component(Z_INCLUDE_ROOT "${CMAKE_CURRENT_SOURCE_DIR}/.." ABSOLUTE)
  endif()
  target_include_directories(${name} PUBLIC "${Z_INCLUDE_ROOT}")
  target_link_libraries(${name} PUBLIC ${Z_PUBLIC_DEPS} PRIVATE ${Z_DEPS})
  zarn_warnings(${name})
endfunction()

# zarn_test(NAME [OWN_MAIN] LABEL unit|integration|ui SOURCES ... DEPS ...)
# One test executable per module; every GoogleTest case becomes a CTest test.
function(zarn_test name)
  cmake_parse_arguments(Z "OWN_MAIN" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT Z_LABEL)
    set(Z_LABEL unit)
  endif()
  if(NOT Z_TIMEOUT)
    set(Z_TIMEOUT 120)
  endif()
  add_executable(${name} ${Z_SOURCES})
  target_link_libraries(${name} PRIVATE ${Z_DEPS} GTest::gtest GTest::gmock)
  if(NOT Z_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    ZARN_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ZARN_BINARY_DIR="${PROJECT_BINARY_DIR}")
  zarn_warnings(${name})
  gtest_discover_tests(${name}
    PROPERTIES LABELS ${Z_LABEL} TIMEOUT ${Z_TIMEOUT}
    DISCOVERY_TIMEOUT 60)
endfunction()

# Adds every direct subfolder of DIR that has a CMakeLists.txt, in name order.
function(zarn_add_subdirs dir)
  file(GLOB children RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}/${dir}" "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*")
  list(SORT children)
  foreach(child ${children})
    if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt")
      add_subdirectory("${dir}/${child}")
    endif()
  endforeach()
endfunction()

# zarn_fuzz(NAME SOURCES ... DEPS ...): a libFuzzer target (clang builds only).
# Run: build-fuzz/fuzz/<name> -max_total_time=60 <corpus folder>
function(zarn_fuzz name)
  cmake_parse_arguments(Z "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Z_SOURCES})
  target_link_libraries(${name} PRIVATE ${Z_DEPS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/fuzz")
endfunction()

# zarn_bench(NAME SOURCES ... DEPS ...): a Google Benchmark program.
function(zarn_bench name)
  cmake_parse_arguments(Z "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Z_SOURCES})
  target_link_libraries(${name} PRIVATE ${Z_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE ZARN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  zarn_warnings(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bench")
endfunction()
