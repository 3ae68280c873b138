target_sources(Zorvalune PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ZorvaluneAudioProcessorEditor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EmbeddedResources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZorvLNF.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ZorvLNF_knobs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BlinkingLed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextEditPanel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LabelFonts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WidgetVariants.cpp)

# ---------------------------------------------------------------------------
# Embedded font and pictures.
#
# The font is Roboto Medium from Debian's fonts-roboto-unhinted (Apache 2.0).
# The pictures are drawn at build time by our own generator and embedded with
# the font as byte arrays named "temp<number>".

find_file(ZORVALUNE_ROBOTO_MEDIUM Roboto-Medium.ttf
    PATHS
        /usr/share/fonts/truetype/roboto/unhinted/RobotoTTF
        /usr/share/fonts/truetype/roboto/unhinted
    NO_DEFAULT_PATH
    DOC "Roboto-Medium.ttf, embedded as the plug-in's typeface")

if(NOT ZORVALUNE_ROBOTO_MEDIUM)
    message(FATAL_ERROR
        "Roboto-Medium.ttf was not found. Install Debian's font package with\n"
        "    sudo apt-get install fonts-roboto-unhinted\n"
        "or point ZORVALUNE_ROBOTO_MEDIUM at the file (-DZORVALUNE_ROBOTO_MEDIUM=/path/Roboto-Medium.ttf).")
endif()

juce_add_console_app(ZorvaluneResourceGenerator
    PRODUCT_NAME "ZorvaluneResourceGenerator")

target_sources(ZorvaluneResourceGenerator PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/../../tools/resource_generator/Main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../../tools/resource_generator/Pictures.cpp)

target_include_directories(ZorvaluneResourceGenerator PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../..)

target_compile_definitions(ZorvaluneResourceGenerator PRIVATE
    JUCE_USE_CURL=0
    JUCE_WEB_BROWSER=0)

target_link_libraries(ZorvaluneResourceGenerator
    PRIVATE
        juce::juce_graphics
    PUBLIC
        juce::juce_recommended_config_flags
        juce::juce_recommended_warning_flags)

# The arrays in load order: font, toggles, big and small knob film strips
# (frame 0 first), ring segments (lit, lit below centre, unlit), LEDs on, off
# and alternate, the dark LED, the wordmark and the four waveforms.
# EmbeddedResources.h names the same arrays; the generator checks the two agree.
set(ZORVALUNE_EMBEDDED_ARRAYS
    1
    3 74
    124 68 149 34 109 4 101 36 112 71 150 61 122 2 99 37 111 8 100
    40 103 12 98 60 129 62 153 52 128 9 96 42 107 66 155 56 126 63
    152 97 15 105 38 151 65 130 58 154 67 108 41 95 10 127 54
    82 134 50 93 20 119 25 91 17 131 49 143 83 121 27 90 19 118 26
    88 24 114 28 144 76 141 45 147 78 116 32 85 22 136 44 146 81 138
    48 31 113 23 89 47 140 73 145 43 137 21 86 33 115 77 148
    80 87 117
    51 135 132 139
    57 120 46 59
    64 7
    14
    110
    6 142 84 102)

set(ZORVALUNE_RESOURCE_DIR "${CMAKE_CURRENT_BINARY_DIR}/zorvalune_resources")
file(MAKE_DIRECTORY "${ZORVALUNE_RESOURCE_DIR}")

set(zorvalune_array_names)
set(zorvalune_array_files)
set(zorvalune_picture_files)

foreach(number IN LISTS ZORVALUNE_EMBEDDED_ARRAYS)
    set(file "${ZORVALUNE_RESOURCE_DIR}/temp${number}")
    list(APPEND zorvalune_array_names "temp${number}")
    list(APPEND zorvalune_array_files "${file}")

    if(number EQUAL 1)
        configure_file("${ZORVALUNE_ROBOTO_MEDIUM}" "${file}" COPYONLY)
    else()
        list(APPEND zorvalune_picture_files "${file}")
        # The framework's binary-data step wants its inputs to exist when the
        # project is configured; the generator overwrites these during the build.
        if(NOT EXISTS "${file}")
            file(WRITE "${file}" "")
        endif()
    endif()
endforeach()

add_custom_command(OUTPUT ${zorvalune_picture_files}
    COMMAND ZorvaluneResourceGenerator "${ZORVALUNE_RESOURCE_DIR}" "${ZORVALUNE_ROBOTO_MEDIUM}" ${zorvalune_array_names}
    DEPENDS ZorvaluneResourceGenerator
    COMMENT "Drawing the plug-in's pictures"
    VERBATIM)

juce_add_binary_data(ZorvaluneBinaryData
    HEADER_NAME BinaryData.h
    NAMESPACE BinaryData
    SOURCES ${zorvalune_array_files})

# The framework's step watches only its list of inputs, and leaves unchanged
# outputs untouched, which would make it run on every build. Make it follow the
# inputs' content and mark its outputs as made.
set(zorvalune_binary_data_dir "${CMAKE_CURRENT_BINARY_DIR}/juce_binarydata_ZorvaluneBinaryData/JuceLibraryCode")
set(zorvalune_binary_data_outputs "${zorvalune_binary_data_dir}/BinaryData.h")
list(LENGTH zorvalune_array_files zorvalune_array_count)
foreach(index RANGE 1 ${zorvalune_array_count})
    list(APPEND zorvalune_binary_data_outputs "${zorvalune_binary_data_dir}/BinaryData${index}.cpp")
endforeach()

add_custom_command(OUTPUT "${zorvalune_binary_data_dir}/BinaryData1.cpp"
    APPEND
    COMMAND ${CMAKE_COMMAND} -E touch ${zorvalune_binary_data_outputs}
    DEPENDS ${zorvalune_array_files})

set_target_properties(ZorvaluneBinaryData PROPERTIES POSITION_INDEPENDENT_CODE ON)

target_link_libraries(Zorvalune PRIVATE ZorvaluneBinaryData)
