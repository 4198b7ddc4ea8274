# orbitrak_add_qtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                    [TIMEOUT <seconds>] [RESOURCE_LOCK <names...>]
#                    [MINUTES_VARIABLE <environment variable>])
# Builds one Qt Test program and registers it with CTest, run headless from its own
# scratch directory so that tests never share working files. TIMEOUT defaults to 300 s.
# MINUTES_VARIABLE names the environment variable that makes the test run for that many minutes;
# when it holds a whole number above 0 as CTest starts, the time limit is those minutes plus ten
# instead of TIMEOUT.
function(orbitrak_add_qtest name)
    cmake_parse_arguments(T "" "TIMEOUT;MINUTES_VARIABLE" "SOURCES;LIBS;LABELS;RESOURCE_LOCK"
                          ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        ORBITRAK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        ORBITRAK_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(workdir ${CMAKE_CURRENT_BINARY_DIR}/${name}.work)
    file(MAKE_DIRECTORY ${workdir})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(environment "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${workdir}/config;XDG_DATA_HOME=${workdir}/data;XDG_CACHE_HOME=${workdir}/cache;XDG_RUNTIME_DIR=${workdir}/runtime")
    if(T_MINUTES_VARIABLE)
        # CTest reads this file each time it starts, so the limit can follow the length asked
        # for then; properties set at configure time could not.
        set(registration ${CMAKE_CURRENT_BINARY_DIR}/${name}_test.cmake)
        file(GENERATE OUTPUT ${registration} CONTENT "\
add_test(${name} [==[$<TARGET_FILE:${name}>]==])
set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY [==[${workdir}]==]
    ENVIRONMENT [==[${environment}]==] LABELS [==[${T_LABELS}]==]
    RESOURCE_LOCK [==[${T_RESOURCE_LOCK}]==] TIMEOUT ${T_TIMEOUT})
if(\"\$ENV{${T_MINUTES_VARIABLE}}\" MATCHES \"^[1-9][0-9]*$\")
    math(EXPR limit \"\$ENV{${T_MINUTES_VARIABLE}} * 60 + 600\")
    set_tests_properties(${name} PROPERTIES TIMEOUT \${limit})
endif()
")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${registration})
        return()
    endif()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${workdir})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
    if(T_RESOURCE_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
    endif()
endfunction()
