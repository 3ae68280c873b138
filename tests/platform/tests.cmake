target_sources(zorvalune_unit_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/user_defaults_test.cpp)
