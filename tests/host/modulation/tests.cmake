target_sources(zorvalune_host_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/side_chain_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modulation_host_test.cpp)
