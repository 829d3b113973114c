# Build rules shared by every folder: warnings, sanitizers, the static MinGW runtime and the
# helpers that declare core libraries, tests, fuzzers and benchmarks.

set(QVR_SOURCE_ROOT ${CMAKE_SOURCE_DIR})
set(QVR_TEST_TIMEOUT 120 CACHE STRING "Seconds before a hung test is killed")

add_library(qvr_warnings INTERFACE)
target_compile_options(qvr_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Woverloaded-virtual
  $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>
  # COM interfaces have no virtual destructor by design: the warning is for native code only.
  $<$<AND:$<COMPILE_LANGUAGE:CXX>,$<NOT:$<BOOL:${WIN32}>>>:-Wnon-virtual-dtor>)
if(QVR_WERROR)
  target_compile_options(qvr_warnings INTERFACE -Werror)
endif()

if(QVR_FUZZ)
  # Everything the fuzz targets link is instrumented for coverage and checked by the sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QVR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  set(QVR_WINDOWS ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QVR_ARCH x86_64)
  else()
    set(QVR_ARCH i686)
  endif()
  # Windows 7 API level; STRSAFE_NO_DEPRECATE because dshow.h pulls in strsafe.h, which
  # otherwise poisons wsprintfW and friends.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX STRSAFE_NO_DEPRECATE)
  # Ship no libgcc/libstdc++/winpthread DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
else()
  set(QVR_ARCH native)
endif()

# GoogleTest from Debian's sources, built by each world with its own compiler.
if(QVR_BUILD_TESTS AND NOT TARGET gtest)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(WIN32)
    # gtest uses Win32 primitives on Windows; its pthread probe only confuses the MinGW build.
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  endif()
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# qvr_core_library(name SOURCES ...): a portable library of a subsystem's core/ folder.
function(qvr_core_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${QVR_SOURCE_ROOT})
  target_link_libraries(${name} PUBLIC ${A_LIBS} PRIVATE qvr_warnings)
endfunction()

# qvr_test(name SOURCES ... LIBS ... [WINDOWS_ONLY] [OWN_MAIN] [LABELS ...] [ARGS ...]): one GoogleTest
# executable, one CTest entry; OWN_MAIN when a source defines main instead of gtest_main. Under
# MinGW the executable runs through CMAKE_CROSSCOMPILING_EMULATOR (tools/wine-exec.sh), one Wine
# process for all its cases.
function(qvr_test name)
  if(NOT QVR_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(A "WINDOWS_ONLY;OWN_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  if(A_WINDOWS_ONLY AND NOT QVR_WINDOWS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  if(A_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${A_LIBS} gmock gtest qvr_warnings)
  else()
    target_link_libraries(${name} PRIVATE ${A_LIBS} gmock gtest_main qvr_warnings)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT ${QVR_TEST_TIMEOUT})
  endif()
  add_test(NAME ${QVR_ARCH}.${name} COMMAND ${name} --gtest_brief=1 ${A_ARGS})
  set_tests_properties(${QVR_ARCH}.${name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${QVR_ARCH};${A_LABELS}")
  if(QVR_WINDOWS)
    # tools/wine-exec.sh answers 77 where this machine cannot run the program's bitness.
    set_tests_properties(${QVR_ARCH}.${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

# qvr_fuzzer(name SOURCES ... LIBS ... [CORPUS dir]): a libFuzzer target, and a short CTest run
# over its seed corpus so the target is exercised on every test run.
function(qvr_fuzzer name)
  if(NOT QVR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${A_LIBS} qvr_warnings)
  if(NOT A_RUNS)
    set(A_RUNS 20000)
  endif()
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  set(seeds)
  if(A_CORPUS)
    set(seeds ${A_CORPUS})
  endif()
  add_test(NAME fuzz.${name} COMMAND ${name} -runs=${A_RUNS} -max_len=4096 ${corpus} ${seeds})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()

# qvr_benchmark(name SOURCES ... LIBS ...): a Google Benchmark program (release builds only).
function(qvr_benchmark name)
  if(NOT QVR_BENCH)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark qvr_warnings)
endfunction()

# qvr_test_part(test_executable part FILTER gtest_filter [TIMEOUT s] [LABELS ...]): one more CTest
# entry running a slice of an executable made by qvr_test (long soaks get their own entry and
# time limit).
function(qvr_test_part executable part)
  if(NOT TARGET ${executable})
    return()
  endif()
  cmake_parse_arguments(A "" "FILTER;TIMEOUT" "LABELS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT ${QVR_TEST_TIMEOUT})
  endif()
  add_test(NAME ${QVR_ARCH}.${part} COMMAND ${executable} --gtest_brief=1 --gtest_filter=${A_FILTER})
  set_tests_properties(${QVR_ARCH}.${part} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${QVR_ARCH};${A_LABELS}")
  if(QVR_WINDOWS)
    set_tests_properties(${QVR_ARCH}.${part} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()
