target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ZorvaluneAudioProcessorEditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EmbeddedResources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZorvLNF.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZorvLNF_knobs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlinkingLed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextEditPanel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WidgetVariants.cpp)
