# Fuzz entry points, one per decoder and one for detection plus load as a whole. With clang and
# VISTREL_FUZZ they are libFuzzer programs (tools/fuzz.sh runs them); in every other build the same
# entry points are linked to a small driver that replays the shared corpus and every input kept under
# tests/fuzz-regressions through them, so each test run checks them again.
set(fuzzEntryPoints Bmp Jpeg Png Gif IconFile Pcx Picture)
foreach(entry ${fuzzEntryPoints})
    set(target fuzz${entry})
    set(sources ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz${entry}.cpp ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzzTarget.cpp)
    if(VISTREL_FUZZ)
        add_executable(${target} ${sources})
        target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    else()
        add_executable(${target} ${sources} ${PROJECT_SOURCE_DIR}/tests/fuzz/replayMain.cpp)
        add_test(NAME replay_${target}
                 COMMAND ${target} ${VISTREL_SHARED_DIR}/corpus ${PROJECT_SOURCE_DIR}/tests/fuzz-regressions)
        set_tests_properties(replay_${target} PROPERTIES TIMEOUT 600)
    endif()
    vistrel_target(${target})
    target_link_libraries(${target} PRIVATE display)
endforeach()
