# Hostile files (a PNG header of 65535 x 65535, PNG bombs, a GIF of empty extensions, a JPEG of
# repeated markers) through vistrel-decode: each must be refused promptly and in little memory.
if(TARGET vistrel-decode)
    add_executable(hostile-files-check ${PROJECT_SOURCE_DIR}/tests/hostile/hostileFilesCheck.cpp)
    vistrel_target(hostile-files-check)
    target_link_libraries(hostile-files-check PRIVATE test_support)
    set(hostileDir ${PROJECT_BINARY_DIR}/hostile-files)
    file(MAKE_DIRECTORY ${hostileDir})
    add_test(NAME hostile_files COMMAND hostile-files-check $<TARGET_FILE:vistrel-decode> ${hostileDir})
    set_tests_properties(hostile_files PROPERTIES TIMEOUT 600)
endif()
