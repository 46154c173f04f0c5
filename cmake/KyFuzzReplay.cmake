# In ordinary builds every fuzz target is also built, with the compiler of
# the build and a plain main (fuzz_replay_main.cpp), as a program that runs
# the target's code once on each of its seeds (corpus/NAME) and on each
# input that once made it fail (regressions/NAME, beside its sources). The
# test fuzz_replay.NAME runs it: every crash or sanitizer report the fuzzers
# have found stays a test, also in the sanitizer build. The targets need
# libFuzzer's FuzzedDataProvider.h, a header that comes with clang; without
# it the replays are left out.
file(GLOB KY_FUZZED_DATA_PROVIDER_DIRS /usr/lib/llvm-*/lib/clang/*/include)
find_path(KY_FUZZED_DATA_PROVIDER_DIR fuzzer/FuzzedDataProvider.h PATHS ${KY_FUZZED_DATA_PROVIDER_DIRS} NO_DEFAULT_PATH)
if(KY_FUZZED_DATA_PROVIDER_DIR)
  # Only that header: clang's other headers are not for this compiler.
  configure_file(${KY_FUZZED_DATA_PROVIDER_DIR}/fuzzer/FuzzedDataProvider.h
    ${CMAKE_BINARY_DIR}/fuzz_include/fuzzer/FuzzedDataProvider.h COPYONLY)
  set(KY_FUZZ_INCLUDE_DIR ${CMAKE_BINARY_DIR}/fuzz_include)
  set(KY_FUZZ_REPLAY ON)
else()
  message(STATUS "FuzzedDataProvider.h not found: the fuzz regression replays are not built")
  set(KY_FUZZ_REPLAY OFF)
endif()

function(add_ky_fuzzer name)
  cmake_parse_arguments(FUZZER "" "" "LINK" ${ARGN})
  add_executable(${name} ${FUZZER_UNPARSED_ARGUMENTS} ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
  target_link_libraries(${name} PRIVATE ky_fuzz_support ${FUZZER_LINK})
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  add_test(NAME fuzz_replay.${name}
    COMMAND ${name} ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name} ${CMAKE_CURRENT_SOURCE_DIR}/regressions/${name})
  set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz_replay)
endfunction()
