# orbitrak_add_qtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>]
#                    [TIMEOUT <seconds>] [RESOURCE_LOCK <names...>])
# Builds one Qt Test program and registers it with CTest, run headless from its own
# scratch directory so that tests never share working files.
function(orbitrak_add_qtest name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        ORBITRAK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        ORBITRAK_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(workdir ${CMAKE_CURRENT_BINARY_DIR}/${name}.work)
    file(MAKE_DIRECTORY ${workdir})
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${workdir})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${workdir}/config;XDG_DATA_HOME=${workdir}/data;XDG_RUNTIME_DIR=${workdir}/runtime"
        TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
    if(T_RESOURCE_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
    endif()
endfunction()
