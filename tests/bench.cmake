# vistrel-bench: runs, prints one number per repetition, and its --dump gives the same pixels as the
# plain double-precision box average kept in the tests.
if(TARGET vistrel-bench)
    add_executable(bench_dump_check ${CMAKE_CURRENT_SOURCE_DIR}/benchSupport/benchDumpCheck.cpp)
    vistrel_target(bench_dump_check)
    target_link_libraries(bench_dump_check PRIVATE test_support display)
    set(benchCases
        "tl 0.01" "mid 0.37" "mid 0.5" "tl 1" "mid 1" "mid 2.48832" "mid 1000" "tl 0.333333333")
    set(benchIndex 0)
    foreach(benchCase ${benchCases})
        separate_arguments(benchArgs UNIX_COMMAND "${benchCase}")
        list(GET benchArgs 0 place)
        list(GET benchArgs 1 scale)
        math(EXPR benchIndex "${benchIndex} + 1")
        foreach(target view redraw)
            add_test(NAME bench_dump_${target}_${benchIndex}
                     COMMAND bench_dump_check $<TARGET_FILE:vistrel-bench> ${target} ${place} ${scale}
                             ${CMAKE_CURRENT_BINARY_DIR}/benchDump_${target}_${benchIndex})
        endforeach()
    endforeach()
    add_test(NAME bench_drag_and_failures
             COMMAND bench_dump_check $<TARGET_FILE:vistrel-bench> other - - ${CMAKE_CURRENT_BINARY_DIR}/benchOther)
endif()
