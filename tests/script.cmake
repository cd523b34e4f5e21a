# The app tests run vistrel-script: building them builds it.
if(TARGET app_tests AND TARGET vistrel-script)
    add_dependencies(app_tests vistrel-script)
endif()
