target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/user_defaults_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document_opener_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi_input_alsa_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file_test.cpp)

# The ALSA test plays a sequencer client of its own.
target_link_libraries(zorvalune_unit_tests PRIVATE asound)
