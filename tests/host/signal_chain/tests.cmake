target_sources(zorvalune_host_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/signal_chain_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/latency_host_test.cpp)
