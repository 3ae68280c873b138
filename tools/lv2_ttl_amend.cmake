# Adds to the LV2 bundle what the framework's Turtle writer cannot say:
# the side-chain ports are side-chain inputs (hosts then leave them out of the
# main input count) that must be connected, and the factory programs carry a
# comment, by which hosts tell factory presets from the user's own.
# Usage: cmake -DBUNDLE=<path/to/Name.lv2> -P lv2_ttl_amend.cmake

if(NOT IS_DIRECTORY "${BUNDLE}")
    message(FATAL_ERROR "lv2_ttl_amend: no bundle at '${BUNDLE}'")
endif()

# Applies `replacement` wherever `pattern` matches; `done` is a text that only
# an amended file holds.
function(amend file pattern replacement done what)
    file(READ "${file}" text)
    string(REGEX REPLACE "${pattern}" "${replacement}" amended "${text}")

    # Run again on an amended file, nothing changes; a pattern that no longer
    # matches the writer's output must stop the build rather than go unnoticed.
    if(amended STREQUAL text AND NOT text MATCHES "${done}")
        message(FATAL_ERROR "lv2_ttl_amend: found no ${what} in ${file}")
    endif()

    file(WRITE "${file}" "${amended}")
endfunction()

# The side chain is the second input bus, "input_group_2"; it is off by
# default, so the writer marks its ports optional. They may not be: the
# framework's LV2 client always reads every input port it declares, and a host
# may leave an optional one unconnected (a null buffer). Hosts connect a
# required port, to silence when they route nothing to it.
amend("${BUNDLE}/dsp.ttl"
      "(pg:group plug:input_group_2 ;\n\t\tlv2:portProperty) lv2:connectionOptional ;"
      "\\1 lv2:isSideChain ;"
      "lv2:isSideChain"
      "side-chain port")

amend("${BUNDLE}/manifest.ttl"
      "(\ta pset:Preset ;\n\tlv2:appliesTo <[^>]*> ;\n\trdfs:label \"[^\"]*\" ;\n)(\tstate:state)"
      "\\1\trdfs:comment \"Factory preset\" ;\n\\2"
      "rdfs:comment"
      "factory preset")
