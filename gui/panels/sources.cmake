# The control panel and its pages.
target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ControlPanel.h
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_design.h
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_construction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_layout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_refresh.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_bindings.h
    ${CMAKE_CURRENT_LIST_DIR}/control_panel_bindings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/edit_protocol.h
    ${CMAKE_CURRENT_LIST_DIR}/help_document.h
    ${CMAKE_CURRENT_LIST_DIR}/help_document.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preset_menu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_children.h
    ${CMAKE_CURRENT_LIST_DIR}/page_children.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AdvancedPanel1.h
    ${CMAKE_CURRENT_LIST_DIR}/advanced_panel_design.h
    ${CMAKE_CURRENT_LIST_DIR}/advanced_panel_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/advanced_panel_knobs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/advanced_panel_selectors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/advanced_panel_refresh.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WeightPanel.h
    ${CMAKE_CURRENT_LIST_DIR}/WeightPanel.cpp)

include(${CMAKE_CURRENT_LIST_DIR}/build_info.cmake)
