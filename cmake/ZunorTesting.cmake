# Helpers for registering tests. Win32 programs run under Wine in a fresh prefix inside the build
# tree (fixture "wineprefix"); GUI tests also need the Xvfb display (fixture "display").

set(ZUNOR_WINE_RUN ${CMAKE_SOURCE_DIR}/tools/wine/run.sh)

# zunor_add_wine_test(NAME n COMMAND exe args... [LABELS l...] [FIXTURES f...] [TIMEOUT s])
# Runs COMMAND under Wine. FIXTURES are required in addition to wineprefix.
function(zunor_add_wine_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND;LABELS;FIXTURES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${T_NAME} COMMAND ${ZUNOR_WINE_RUN} ${CMAKE_BINARY_DIR} ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABELS}"
        FIXTURES_REQUIRED "wineprefix;${T_FIXTURES}"
        TIMEOUT ${T_TIMEOUT}
        RESOURCE_LOCK wine)
endfunction()

# zunor_add_script_test(NAME n COMMAND cmd args... [LABELS l...] [FIXTURES f...] [TIMEOUT s])
# A host-side test script (python3 or bash) that drives Win32 programs itself; it gets the build
# tree and source tree in ZUNOR_BUILD and ZUNOR_SOURCE.
function(zunor_add_script_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND;LABELS;FIXTURES" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS "${T_LABELS}"
        FIXTURES_REQUIRED "${T_FIXTURES}"
        TIMEOUT ${T_TIMEOUT}
        RESOURCE_LOCK wine
        ENVIRONMENT "ZUNOR_BUILD=${CMAKE_BINARY_DIR};ZUNOR_SOURCE=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1;ZUNOR_TEST_HTTPS_PORT=${ZUNOR_TEST_HTTPS_PORT};ZUNOR_TEST_FAULT_PORT=${ZUNOR_TEST_FAULT_PORT}")
endfunction()
