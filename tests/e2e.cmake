# The desktop program's tests: Qt's test helpers for the platform tests, and the end-to-end run of
# the real program under Xvfb.
if(TARGET platform_tests)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    target_link_libraries(platform_tests PRIVATE Qt6::Test)
    if(TARGET app_program)
        target_link_libraries(platform_tests PRIVATE app_program)
    endif()
endif()

# The real program on a private Xvfb screen, driven with xdotool and compared with vistrel-script.
if(TARGET vistrel AND TARGET vistrel-script)
    find_package(Qt6 REQUIRED COMPONENTS Gui)
    add_executable(vistrel-grab ${CMAKE_CURRENT_SOURCE_DIR}/e2e/grabScreen.cpp)
    vistrel_target(vistrel-grab)
    target_link_libraries(vistrel-grab PRIVATE Qt6::Gui)
    add_test(NAME desktop_e2e
             COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/e2e/desktopRun.py
                     --program $<TARGET_FILE:vistrel>
                     --script $<TARGET_FILE:vistrel-script>
                     --grab $<TARGET_FILE:vistrel-grab>
                     --work ${CMAKE_CURRENT_BINARY_DIR}/e2e)
    set_tests_properties(desktop_e2e PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()
