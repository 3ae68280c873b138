target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ZorvaluneAudioProcessorEditor.cpp)
