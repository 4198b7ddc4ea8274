# orbitrak_add_qtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                    [TIMEOUT <seconds>] [RESOURCE_LOCK <names...>]
#                    [MINUTES_VARIABLE <environment variable>])
# Builds one Qt Test program and registers it with CTest, run headless from its own
# scratch directory so that tests never share working files. TIMEOUT defaults to 300 s.
# MINUTES_VARIABLE names the environment variable that makes the test run for that many minutes;
# when it holds a whole number above 0 as CTest starts, the time limit is those minutes plus ten
# instead of TIMEOUT. In a cross build, whose tests run under an emulator, every limit is
# ORBITRAK_EMULATED_TIMEOUT_FACTOR times as long.
set(ORBITRAK_EMULATED_TIMEOUT_FACTOR 10 CACHE STRING
    "Cross builds: how many times longer a test may take under the emulator")
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
    set(command "[==[$<TARGET_FILE:${name}>]==]")
    set(factor 1)
    if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
        set(factor ${ORBITRAK_EMULATED_TIMEOUT_FACTOR})
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * ${factor}")
        # A test registered from a file of its own gets no emulator from CTest.
        list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "]==] [==[" emulator)
        set(command "[==[${emulator}]==] ${command}")
    endif()
    set(environment "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${workdir}/config;XDG_DATA_HOME=${workdir}/data;XDG_CACHE_HOME=${workdir}/cache;XDG_RUNTIME_DIR=${workdir}/runtime")
    if(T_MINUTES_VARIABLE)
        # CTest reads this file each time it starts, so the limit can follow the length asked
        # for then; properties set at configure time could not.
        set(registration ${CMAKE_CURRENT_BINARY_DIR}/${name}_test.cmake)
        file(GENERATE OUTPUT ${registration} CONTENT "\
add_test(${name} ${command})
set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY [==[${workdir}]==]
    ENVIRONMENT [==[${environment}]==] LABELS [==[${T_LABELS}]==]
    RESOURCE_LOCK [==[${T_RESOURCE_LOCK}]==] TIMEOUT ${T_TIMEOUT})
if(\"\$ENV{${T_MINUTES_VARIABLE}}\" MATCHES \"^[1-9][0-9]*$\")
    math(EXPR limit \"(\$ENV{${T_MINUTES_VARIABLE}} * 60 + 600) * ${factor}\")
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

# orbitrak_runnable(<variable> <program target>)
# Sets <variable> to the path that starts the program, for tests that run it and for steps of the
# build: the program itself, or in a cross build a script beside it (<build>/emulated/<name>)
# that runs it under CMAKE_CROSSCOMPILING_EMULATOR, since the kernel may not know how.
function(orbitrak_runnable variable target)
    if(NOT CMAKE_CROSSCOMPILING OR NOT CMAKE_CROSSCOMPILING_EMULATOR)
        set(${variable} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
        return()
    endif()
    if(CMAKE_VERSION VERSION_LESS 3.20)
        message(FATAL_ERROR "a cross build needs CMake 3.20 or later")
    endif()
    set(script ${PROJECT_BINARY_DIR}/emulated/${target})
    get_property(written GLOBAL PROPERTY ORBITRAK_EMULATED_PROGRAMS)
    if(NOT target IN_LIST written)
        set_property(GLOBAL APPEND PROPERTY ORBITRAK_EMULATED_PROGRAMS ${target})
        list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "\" \"" emulator)
        file(GENERATE OUTPUT ${script}
             CONTENT "#!/bin/sh\nexec \"${emulator}\" \"$<TARGET_FILE:${target}>\" \"$@\"\n"
             FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                              WORLD_READ WORLD_EXECUTE)
    endif()
    set(${variable} ${script} PARENT_SCOPE)
endfunction()
