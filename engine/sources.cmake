target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/filter_coefficients.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_parameters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/processor_block.cpp)
