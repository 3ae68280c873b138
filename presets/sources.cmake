target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/factory_presets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_text_parse.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_preset_folders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_preset_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_preset_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi_input.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cloud_watcher.cpp)
