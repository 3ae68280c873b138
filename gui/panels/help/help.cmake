# The help document behind the "?" button: our own text, set as a PDF by
# groff at build time, and placed where each format looks for it (see
# gui/panels/help_document.cpp): the VST3 bundle's Contents/Resources, the LV2
# bundle's Resources, and share/Zorvalune beside the standalone's folder.

find_program(ZORVALUNE_GROPDF gropdf)

if(NOT ZORVALUNE_GROPDF)
    message(FATAL_ERROR
        "groff's PDF output (gropdf) was not found. Install Debian's groff package with\n"
        "    sudo apt-get install groff")
endif()

find_program(ZORVALUNE_GROFF groff REQUIRED)

set(ZORVALUNE_HELP_SOURCE "${CMAKE_CURRENT_LIST_DIR}/ZorvaluneHelp.ms")
set(ZORVALUNE_HELP_PDF "${CMAKE_BINARY_DIR}/help/ZorvaluneHelp.pdf")

add_custom_command(OUTPUT "${ZORVALUNE_HELP_PDF}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/help"
    COMMAND sh -c "\"$0\" -ms -Tpdf \"$1\" > \"$2\"" "${ZORVALUNE_GROFF}" "${ZORVALUNE_HELP_SOURCE}" "${ZORVALUNE_HELP_PDF}"
    DEPENDS "${ZORVALUNE_HELP_SOURCE}"
    COMMENT "Setting the help document"
    VERBATIM)

set(ZORVALUNE_HELP_COPIES
    "${ZORVALUNE_ARTEFACTS}/VST3/Zorvalune.vst3/Contents/Resources/ZorvaluneHelp.pdf"
    "${ZORVALUNE_ARTEFACTS}/LV2/Zorvalune.lv2/Resources/ZorvaluneHelp.pdf"
    "${ZORVALUNE_ARTEFACTS}/share/Zorvalune/ZorvaluneHelp.pdf")

set(copy_commands)
foreach(copy IN LISTS ZORVALUNE_HELP_COPIES)
    get_filename_component(folder "${copy}" DIRECTORY)
    list(APPEND copy_commands
        COMMAND ${CMAKE_COMMAND} -E make_directory "${folder}"
        COMMAND ${CMAKE_COMMAND} -E copy "${ZORVALUNE_HELP_PDF}" "${copy}")
endforeach()

add_custom_command(OUTPUT ${ZORVALUNE_HELP_COPIES}
    ${copy_commands}
    DEPENDS "${ZORVALUNE_HELP_PDF}"
    VERBATIM)

add_custom_target(ZorvaluneHelp ALL DEPENDS ${ZORVALUNE_HELP_COPIES})

foreach(format IN ITEMS VST3 LV2 Standalone)
    add_dependencies(Zorvalune_${format} ZorvaluneHelp)
endforeach()

install(FILES "${ZORVALUNE_HELP_PDF}" DESTINATION share/Zorvalune)
