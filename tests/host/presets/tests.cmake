# Presets as the host sees them: what a preset load reports to the host, and
# the cloud folder a user names.
target_sources(zorvalune_host_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/preset_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cloud_folder_host_test.cpp)
