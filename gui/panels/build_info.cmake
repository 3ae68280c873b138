# The version and build date that the advanced page shows. The date is that of
# the sources, not of the clock, so the same sources always build the same
# text: SOURCE_DATE_EPOCH when the builder gives one, else the last commit's
# date, else (an unpacked source archive) the date of this project's top file.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ZORVALUNE_BUILD_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git QUIET)

    if(GIT_FOUND)
        execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
            WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
            OUTPUT_VARIABLE ZORVALUNE_BUILD_EPOCH
            OUTPUT_STRIP_TRAILING_WHITESPACE
            ERROR_QUIET)
        execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --absolute-git-dir
            WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
            OUTPUT_VARIABLE zorvalune_git_dir
            OUTPUT_STRIP_TRAILING_WHITESPACE
            ERROR_QUIET)

        # A new commit configures again, so the date follows it.
        if(EXISTS "${zorvalune_git_dir}/logs/HEAD")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${zorvalune_git_dir}/logs/HEAD")
        endif()
    endif()

    if(NOT ZORVALUNE_BUILD_EPOCH MATCHES "^[0-9]+$")
        file(TIMESTAMP "${CMAKE_SOURCE_DIR}/CMakeLists.txt" ZORVALUNE_BUILD_EPOCH "%s" UTC)
    endif()
endif()

# string(TIMESTAMP) reads the time from SOURCE_DATE_EPOCH when it is set.
set(zorvalune_saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} "${ZORVALUNE_BUILD_EPOCH}")
string(TIMESTAMP zorvalune_month "%b" UTC)
string(TIMESTAMP zorvalune_day "%d" UTC)
string(TIMESTAMP zorvalune_year "%Y" UTC)
string(TIMESTAMP ZORVALUNE_BUILD_TIME "%H:%M:%S" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${zorvalune_saved_epoch}")

string(REGEX REPLACE "^0" "" zorvalune_day "${zorvalune_day}")
set(ZORVALUNE_BUILD_DATE "${zorvalune_month} ${zorvalune_day} ${zorvalune_year}")

configure_file("${CMAKE_CURRENT_LIST_DIR}/build_info.h.in"
               "${CMAKE_CURRENT_BINARY_DIR}/zorvalune_build_info/zorvalune_build_info.h" @ONLY)
target_include_directories(Zorvalune PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/zorvalune_build_info")
