target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/editor_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/knob_cross_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_bindings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_refresh_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/advanced_page_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/weight_page_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preset_menu_test.cpp)

# Pictures of the whole editor land here, for people to look at.
target_compile_definitions(zorvalune_unit_tests PRIVATE
    ZORVALUNE_SNAPSHOT_DIR="${CMAKE_BINARY_DIR}/snapshots")
