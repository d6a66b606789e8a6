# Short runs of the fuzz targets, built by clang in a tree of their own
# (tests/fuzz): each starts from the repository's corpus and fuzzes for
# TAVORIN_FUZZ_SECONDS; the inputs it adds and any it fails on stay in
# this build tree (fuzz/<target>/, fuzz/<target>.crash-*).
set(TAVORIN_FUZZ_DIR "" CACHE PATH "Build tree of the fuzz targets (clang)")
set(TAVORIN_FUZZ_SECONDS 15 CACHE STRING "Seconds of fuzzing per target")

if(TAVORIN_FUZZ_DIR)
  include(${PROJECT_SOURCE_DIR}/tests/fuzz/targets.cmake)
  foreach(name ${tavorin_fuzz_targets})
    add_test(NAME fuzz.${name}
             COMMAND ${PROJECT_SOURCE_DIR}/tests/fuzz/run-fuzzer
                     ${TAVORIN_FUZZ_DIR}/tests/fuzz/fuzz_${name}
                     ${TAVORIN_FUZZ_SECONDS}
                     ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name}
                     ${CMAKE_BINARY_DIR}/fuzz/${name})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 900)
  endforeach()
endif()
