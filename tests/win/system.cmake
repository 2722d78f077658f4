# The system operations (registry, component registration, settings, folders, shortcuts) under Wine.
# The stand-in components land in tests/components, next to the test program that loads them.
add_subdirectory(components)

zunor_add_win_gtest(NAME system_tests
    SOURCES system_registry_test.cpp system_components_test.cpp system_settings_test.cpp system_shell_test.cpp
    LIBRARIES ole32)
add_dependencies(system_tests test_components wininfo)
