target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/system_log.cpp
    ${CMAKE_CURRENT_LIST_DIR}/system_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/user_defaults.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_folder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cloud_documents.cpp
    ${CMAKE_CURRENT_LIST_DIR}/atomic_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/folder_listing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/midi_input_alsa.cpp
    ${CMAKE_CURRENT_LIST_DIR}/document_opener.cpp)
