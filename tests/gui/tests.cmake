target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/embedded_resources_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/look_and_feel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/blinking_led_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_edit_panel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snapshot_test.cpp)

# The resource tests compare against the list of embedded arrays itself.
target_link_libraries(zorvalune_unit_tests PRIVATE ZorvaluneBinaryData)
