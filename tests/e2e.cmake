# The desktop program's tests: Qt's test helpers for the platform tests, and the end-to-end run of
# the real program under Xvfb.
if(TARGET platform_tests)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    target_link_libraries(platform_tests PRIVATE Qt6::Test)
    if(TARGET app_program)
        target_link_libraries(platform_tests PRIVATE app_program)
    endif()
endif()
