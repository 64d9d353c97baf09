# Common compile settings for every target of the project.
function(meter_target_setup target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8)
        if(METER_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                 -Wno-sign-conversion)
        if(METER_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_TO_ASCII)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

if(METER_SANITIZE AND NOT MSVC)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds a QtTest executable tests/<folder>/tst_<name>.cpp as a ctest test.
function(meter_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    qt_add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    meter_target_setup(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=de_DE.UTF-8;METER_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
        TIMEOUT 600)
endfunction()

# Adds every tests/<folder>/tst_*.cpp of the calling folder as a test, each
# linked with LIBS only: a test folder links the library it tests (and what
# that needs), so the build keeps the layers apart.
function(meter_add_tests)
    cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
    foreach(src ${tests})
        get_filename_component(name ${src} NAME_WE)
        meter_add_test(${name} SOURCES ${src} LIBS ${T_LIBS})
    endforeach()
endfunction()
