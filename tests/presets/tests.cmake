target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/factory_presets_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_preset_files_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi_input_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cloud_watcher_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preset_folder_hazards_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instance_lifetime_test.cpp)
