target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/audio_thread_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/chain_setup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_chain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/filter_coefficients.cpp
    ${CMAKE_CURRENT_LIST_DIR}/framework_lifetime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lane_math.cpp
    ${CMAKE_CURRENT_LIST_DIR}/message_thread_timer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_host_link.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_parameters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_block.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_bypass.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_sequencer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_sidechain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/side_chain_store.cpp)
