# quillora_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#                   [GUI] [XCB] [MEDIA] [TIMEOUT <seconds>] [LABELS <labels...>])
#
# Builds a Qt Test executable and registers it with CTest.
#  GUI    widgets under the offscreen platform
#  XCB    needs a real X server (run under xvfb-run); skipped without DISPLAY
#  MEDIA  needs the generated test clips (QUILLORA_TEST_MEDIA names their folder)
# Every test sees the staged installation folder in QUILLORA_STAGE_DIR, and
# gets private XDG folders and HOME so that nothing touches the user's files.
function(quillora_add_test)
    cmake_parse_arguments(T "GUI;XCB;MEDIA" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON
        AUTOUIC_SEARCH_PATHS "${PROJECT_SOURCE_DIR}/src/forms")
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})

    set(home "${CMAKE_BINARY_DIR}/testhome/${T_NAME}")
    file(MAKE_DIRECTORY "${home}/run")
    file(CHMOD "${home}/run" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set(env
        "QUILLORA_STAGE_DIR=${QUILLORA_STAGE_DIR}"
        "QUILLORA_TEST_MEDIA=${QUILLORA_TEST_MEDIA_DIR}"
        "QUILLORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        "HOME=${home}"
        "XDG_CONFIG_HOME=${home}/config"
        "XDG_CACHE_HOME=${home}/cache"
        "XDG_DATA_HOME=${home}/data"
        "XDG_RUNTIME_DIR=${home}/run"
        "SDL_AUDIODRIVER=dummy"
        "QT_LOGGING_RULES=qt.qpa.*=false")
    if(T_XCB)
        set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE 77)
    else()
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}")
    if(T_MEDIA)
        set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED test_media)
    endif()
    if(T_TIMEOUT)
        set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
    else()
        set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 300)
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
    # The tests run the staged program and tools: build them first.
    add_dependencies(${T_NAME} quillora_stage)
endfunction()
