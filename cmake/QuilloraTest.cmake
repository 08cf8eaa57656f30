# quillora_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>]
#                   [GUI] [XCB] [MEDIA] [TIMEOUT <seconds>] [LABELS <labels...>]
#                   [SHARDS <count>] [LAUNCHER <command...>])
# quillora_add_test(NAME <name> RUNS <test executable> [CONFIGURATIONS <names...>] ...)
#
# Builds a Qt Test executable and registers it with CTest.
#  GUI    widgets under the offscreen platform
#  XCB    needs a real X server (run under xvfb-run); skipped without DISPLAY
#  MEDIA  needs the generated test clips (QUILLORA_TEST_MEDIA names their folder)
#  RUNS   registers one more test of an executable built by an earlier call
#  CONFIGURATIONS  runs only under "ctest -C <name>"
#  SHARDS splits the test functions into that many tests (<name>, <name>_2,
#         ...) that run side by side: every count-th function, in the order
#         the executable lists them (tests/support/testshard.sh)
#  LAUNCHER  a command that runs the test executable, given as its
#         arguments (tests/support/screenreaderbus.sh)
#  TIMEOUT  what the test takes at most on a quiet machine's plain build,
#         many times what it needs (300 s when not given); sanitized builds
#         multiply it
# Every test sees the staged installation folder in QUILLORA_STAGE_DIR, the
# build's ffmpeg and ffprobe in QUILLORA_FFMPEG and QUILLORA_FFPROBE, and
# gets private XDG folders and HOME so that nothing touches the user's files.
# QUILLORA_TEST_SLOWDOWN tells the test how many times slower than a plain
# build its build runs (tests/support/testtime.h scales its waits by it).
#
# With QUILLORA_ASAN or QUILLORA_TSAN every process of a test, the test itself
# and each program or tool it starts, writes its sanitizer reports into a
# folder of the test's own; tests/sanitizer/run-sanitized.sh shows them and
# fails the test. A report of a child process would otherwise end in a pipe
# the test reads, or go unseen behind an exit code the test expects anyway.

# quillora_sanitized_run(<prefix> <test name> <command...>)
#
# Sets <prefix>_command to the command that runs <command...> as the test
# through run-sanitized.sh, and <prefix>_env to the sanitizers' settings for it.
function(quillora_sanitized_run prefix name)
    set(reports "${CMAKE_BINARY_DIR}/sanitizer-reports/${name}")
    set(log "log_path=${reports}/report:log_exe_name=1")
    set(${prefix}_command sh "${PROJECT_SOURCE_DIR}/tests/sanitizer/run-sanitized.sh" "${reports}"
        ${ARGN} PARENT_SCOPE)
    set(suppressions "${PROJECT_SOURCE_DIR}/tests/sanitizer")
    if(QUILLORA_TSAN)
        # Qt starts a tool through a clone that shares the parent's memory
        # until the tool runs; ThreadSanitizer takes that for a fork of a
        # threaded process and would end the test at its next thread start.
        set(${prefix}_env
            "TSAN_OPTIONS=exitcode=66:second_deadlock_stack=1:die_after_fork=0:suppressions=${suppressions}/tsan.supp:print_suppressions=0:${log}"
            PARENT_SCOPE)
        return()
    endif()
    # Leaks are looked for at every exit; what is left out, and why, is in
    # the suppression file.
    set(${prefix}_env
        "ASAN_OPTIONS=detect_leaks=1:exitcode=86:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:${log}"
        "LSAN_OPTIONS=suppressions=${suppressions}/lsan.supp:print_suppressions=0"
        "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86:${log}"
        PARENT_SCOPE)
endfunction()

function(quillora_add_test)
    cmake_parse_arguments(T "GUI;XCB;MEDIA" "NAME;TIMEOUT;RUNS;SHARDS"
                          "SOURCES;LIBS;LABELS;CONFIGURATIONS;LAUNCHER" ${ARGN})
    if(T_RUNS)
        set(executable ${T_RUNS})
    else()
        set(executable ${T_NAME})
        add_executable(${T_NAME} ${T_SOURCES})
        set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON
            AUTOUIC_SEARCH_PATHS "${PROJECT_SOURCE_DIR}/src/forms")
        target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    endif()
    # The tests run the staged program and tools: build them first.
    add_dependencies(${executable} quillora_stage)

    set(shards 1)
    if(T_SHARDS)
        set(shards ${T_SHARDS})
    endif()
    foreach(shard RANGE 1 ${shards})
        set(name ${T_NAME})
        set(command ${T_LAUNCHER} $<TARGET_FILE:${executable}>)
        if(shard GREATER 1)
            set(name ${T_NAME}_${shard})
        endif()
        if(shards GREATER 1)
            math(EXPR index "${shard} - 1")
            set(command sh "${PROJECT_SOURCE_DIR}/tests/support/testshard.sh" ${index} ${shards}
                ${command})
        endif()
        quillora_register_test(${name} "${command}")
    endforeach()
endfunction()

# One CTest test of quillora_add_test, with the settings of T_* in the
# caller's scope.
function(quillora_register_test name command)
    if(QUILLORA_ASAN OR QUILLORA_TSAN)
        quillora_sanitized_run(sanitized ${name} ${command})
        set(command ${sanitized_command})
    endif()
    if(T_CONFIGURATIONS)
        add_test(NAME ${name} CONFIGURATIONS ${T_CONFIGURATIONS} COMMAND ${command})
    else()
        add_test(NAME ${name} COMMAND ${command})
    endif()

    set(home "${CMAKE_BINARY_DIR}/testhome/${name}")
    file(MAKE_DIRECTORY "${home}/run")
    file(CHMOD "${home}/run" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    # Instrumented code runs slower: two to three times under
    # AddressSanitizer, five to seven times under ThreadSanitizer (the window
    # and list tests, timed against a plain build).
    set(slowdown 1)
    if(QUILLORA_ASAN)
        set(slowdown 3)
    elseif(QUILLORA_TSAN)
        set(slowdown 5)
    endif()
    set(env
        "QUILLORA_STAGE_DIR=${QUILLORA_STAGE_DIR}"
        "QUILLORA_TEST_MEDIA=${QUILLORA_TEST_MEDIA_DIR}"
        "QUILLORA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        "QUILLORA_FFMPEG=${QUILLORA_FFMPEG}"
        "QUILLORA_FFPROBE=${QUILLORA_FFPROBE}"
        "QUILLORA_TEST_SLOWDOWN=${slowdown}"
        "HOME=${home}"
        "XDG_CONFIG_HOME=${home}/config"
        "XDG_CACHE_HOME=${home}/cache"
        "XDG_DATA_HOME=${home}/data"
        "XDG_RUNTIME_DIR=${home}/run"
        "SDL_AUDIODRIVER=dummy"
        "QT_LOGGING_RULES=qt.qpa.*=false")
    if(QUILLORA_ASAN OR QUILLORA_TSAN)
        list(APPEND env ${sanitized_env})
    endif()
    # A hung test waits out the whole of its limit. Qt Test's own limit for
    # one test function (five minutes unless told) gets nearly as much in
    # every build: its stack dump then comes before CTest ends the test, and
    # it never ends a test that CTest would let run on.
    set(timeout 300)
    if(T_TIMEOUT)
        set(timeout ${T_TIMEOUT})
    endif()
    math(EXPR timeout "${timeout} * ${slowdown}")
    math(EXPR functionTimeoutMs "${timeout} * 900")
    list(APPEND env "QTEST_FUNCTION_TIMEOUT=${functionTimeoutMs}")
    if(T_XCB)
        # One X server serves the whole run: two tests that type and drag
        # there at once would take each other's keys and windows.
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 RESOURCE_LOCK x_display)
    else()
        list(APPEND env "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${timeout})
    if(T_MEDIA)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED test_media)
    endif()
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
