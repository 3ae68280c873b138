# The threaded host test once more, built with ThreadSanitizer: a build of its
# own (the framework instrumented too, optimised lightly to build quickly) made
# along with this one, and a test that fails on any report.
option(ZORVALUNE_TSAN_TEST "Build the threaded host test with ThreadSanitizer and run it with the tests" ON)

if(ZORVALUNE_SANITIZE OR NOT ZORVALUNE_TSAN_TEST)
    return()
endif()

include(ExternalProject)

set(tsan_binary_dir "${CMAKE_BINARY_DIR}/thread-sanitizer")
set(tsan_cache_args
    -DCMAKE_BUILD_TYPE:STRING=RelWithDebInfo
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO:STRING=-O1 -g1 -DNDEBUG"
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO:STRING=-O1 -g1 -DNDEBUG"
    -DZORVALUNE_SANITIZE:STRING=thread
    -DBUILD_TESTING:BOOL=ON)

foreach(launcher CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER)
    if(${launcher})
        list(APPEND tsan_cache_args "-D${launcher}:STRING=${${launcher}}")
    endif()
endforeach()

# Under make the inner build shares the outer build's jobs.
if(CMAKE_GENERATOR MATCHES "Make")
    set(tsan_build_command $(MAKE) zorvalune_threaded_test)
else()
    set(tsan_build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target zorvalune_threaded_test)
endif()

ExternalProject_Add(zorvalune_threaded_test_tsan
    SOURCE_DIR "${CMAKE_SOURCE_DIR}"
    BINARY_DIR "${tsan_binary_dir}"
    CMAKE_CACHE_ARGS ${tsan_cache_args}
    BUILD_COMMAND ${tsan_build_command}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")

add_test(NAME ThreadedHostChangesDuringPlaybackUnderThreadSanitizer
    COMMAND "${tsan_binary_dir}/tests/zorvalune_threaded_test")
set_tests_properties(ThreadedHostChangesDuringPlaybackUnderThreadSanitizer PROPERTIES
    ENVIRONMENT "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${ZORVALUNE_TSAN_SUPPRESSIONS}")
