# add_ky_fuzzer(NAME SOURCE... [LINK target...])
#
# A libFuzzer target bin/NAME whose seeds are in corpus/NAME beside its
# sources. The libraries it links and the plug-ins it loads are instrumented
# by the KY_FUZZ compile options; the target adds the fuzzer's main. Every
# target is listed, with its seed folder, in fuzz_targets.txt in the build
# folder, which scripts/fuzz.sh reads.
# The target "fuzzers" builds them all.
if(NOT TARGET fuzzers)
  add_custom_target(fuzzers)
endif()

function(add_ky_fuzzer name)
  cmake_parse_arguments(FUZZER "" "" "LINK" ${ARGN})
  add_executable(${name} ${FUZZER_UNPARSED_ARGUMENTS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ky_fuzz_support ${FUZZER_LINK})
  # Plug-ins loaded with dlopen resolve the sanitizers' and the fuzzer's
  # callbacks in the executable.
  set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  add_dependencies(fuzzers ${name})
  set_property(GLOBAL APPEND PROPERTY KY_FUZZ_TARGETS "${name} ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
endfunction()

# Writes fuzz_targets.txt: one line per target, "NAME SEED-FOLDER".
function(write_ky_fuzz_targets)
  get_property(targets GLOBAL PROPERTY KY_FUZZ_TARGETS)
  list(JOIN targets "\n" lines)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz_targets.txt "${lines}\n")
endfunction()
