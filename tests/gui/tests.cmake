target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/embedded_resources_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/look_and_feel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/blinking_led_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_edit_panel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snapshot_test.cpp)

# The resource tests compare against the list of embedded arrays itself.
target_link_libraries(zorvalune_unit_tests PRIVATE ZorvaluneBinaryData)

# The standalone program on a virtual X display, used with real X events.
find_package(X11 REQUIRED)
add_executable(x_screen_probe ${CMAKE_CURRENT_LIST_DIR}/x_screen_probe.cpp)
target_link_libraries(x_screen_probe PRIVATE X11::X11)

add_test(NAME StandaloneUnderXvfb
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/standalone_xvfb_test.sh
            $<TARGET_FILE:Zorvalune_Standalone> $<TARGET_FILE:x_screen_probe>)
set_tests_properties(StandaloneUnderXvfb PROPERTIES TIMEOUT 120)
