target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/processor_lifecycle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameters_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/signal_chain_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/realtime_safety_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dsp_types_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modulation_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sequencer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/side_chain_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bypass_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chain_golden_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lane_math_test.cpp)
