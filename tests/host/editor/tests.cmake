# Opening and closing the editor of the built bundle, as a host does.
target_sources(zorvalune_host_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/allocation_counter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editor_host_test.cpp)
