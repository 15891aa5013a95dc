# The payload table: what the executable carries, by id. The table is
# written once, in payload/payload_table.txt; from it come the C++ ids, the
# Windows resource script (payloads as resources of type "TXT") and the
# native build's linked table of byte ranges behind the same lookup.

file(GLOB_RECURSE VARNHOLT_BOOK_FILES CONFIGURE_DEPENDS "${VARNHOLT_PAYLOAD_DIR}/book/*")
file(GLOB_RECURSE VARNHOLT_DEMO_MANUAL_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tools/demo/manual/*")
set(VARNHOLT_GENERATED "${CMAKE_BINARY_DIR}/payloads")
set(VARNHOLT_GENERATED_INCLUDE "${CMAKE_BINARY_DIR}/generated")
file(MAKE_DIRECTORY "${VARNHOLT_GENERATED}" "${VARNHOLT_GENERATED_INCLUDE}/payload")

# Reads the table into VARNHOLT_PAYLOADS ("id=file" entries) and writes the
# C++ header of the ids.
function(varnholt_read_payload_table)
    set(table "${CMAKE_SOURCE_DIR}/payload/payload_table.txt")
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
    file(STRINGS "${table}" lines)
    set(entries "")
    set(enumerators "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^[ \t]*(#|$)")
            continue()
        endif()
        if(NOT line MATCHES "^([0-9]+)[ \t]+([a-z_]+)[ \t]+(.+)$")
            message(FATAL_ERROR "payload_table.txt: cannot read the line '${line}'")
        endif()
        set(id "${CMAKE_MATCH_1}")
        set(name "${CMAKE_MATCH_2}")
        set(file "${CMAKE_MATCH_3}")
        string(REPLACE "{payloads}" "${VARNHOLT_PAYLOAD_DIR}" file "${file}")
        string(REPLACE "{generated}" "${VARNHOLT_GENERATED}" file "${file}")
        list(APPEND entries "${id}=${file}")
        string(APPEND enumerators "    ${name} = ${id},\n")
    endforeach()
    set(header "${VARNHOLT_GENERATED_INCLUDE}/payload/payload_ids.h")
    file(WRITE "${header}.tmp"
        "// Generated from payload/payload_table.txt by cmake/Payloads.cmake.\n"
        "#pragma once\n\n#include <cstdint>\n\nnamespace payload {\n\n"
        "enum class payload_id : std::uint16_t {\n${enumerators}};\n\n}  // namespace payload\n")
    file(COPY_FILE "${header}.tmp" "${header}" ONLY_IF_DIFFERENT)
    set(VARNHOLT_PAYLOADS "${entries}" PARENT_SCOPE)
endfunction()
varnholt_read_payload_table()

add_custom_command(
    OUTPUT "${VARNHOLT_GENERATED}/book.zip"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/mkzip.py" "${VARNHOLT_PAYLOAD_DIR}/book"
            "${VARNHOLT_GENERATED}/book.zip" --prefix book/
    DEPENDS "${CMAKE_SOURCE_DIR}/tools/mkzip.py" ${VARNHOLT_BOOK_FILES}
    COMMENT "Packing the manual pages")

set(VARNHOLT_SETTINGS_SOURCE "${VARNHOLT_GENERATED}/settings.cpp")
add_custom_command(
    OUTPUT "${VARNHOLT_SETTINGS_SOURCE}"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/gensettings.py"
            "${VARNHOLT_PAYLOAD_DIR}/settings.txt" "${VARNHOLT_SETTINGS_SOURCE}"
    DEPENDS "${CMAKE_SOURCE_DIR}/tools/gensettings.py" "${VARNHOLT_PAYLOAD_DIR}/settings.txt"
    COMMENT "Reading the payload folder's settings")

set(VARNHOLT_MADE_PAYLOADS "${VARNHOLT_GENERATED}/book.zip")
if(WIN32)
    add_custom_command(
        OUTPUT "${VARNHOLT_GENERATED}/icon.ico"
        COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/mkico.py"
                "${VARNHOLT_PAYLOAD_DIR}/icon.png" "${VARNHOLT_GENERATED}/icon.ico"
        DEPENDS "${CMAKE_SOURCE_DIR}/tools/mkico.py" "${VARNHOLT_PAYLOAD_DIR}/icon.png"
        COMMENT "Making the icon")
    list(APPEND VARNHOLT_MADE_PAYLOADS "${VARNHOLT_GENERATED}/icon.ico")
else()
    enable_language(ASM)
endif()
include(cmake/Archiver.cmake)
if(WIN32)
    varnholt_add_archiver(windows "${VARNHOLT_GENERATED}/archiver")
else()
    varnholt_add_archiver(native "${VARNHOLT_GENERATED}/archiver")
endif()
add_custom_target(payloadfiles DEPENDS ${VARNHOLT_MADE_PAYLOADS})
add_dependencies(payloadfiles archiver)

# Embeds the given "id=file" entries (default: the payload table) into target.
function(varnholt_embed_payloads target)
    set(entries ${ARGN})
    if(NOT entries)
        set(entries ${VARNHOLT_PAYLOADS})
    endif()
    set(files "")
    set(lines "")
    set(table "")
    foreach(entry IN LISTS entries)
        string(REGEX MATCH "^([0-9]+)=(.*)$" _ "${entry}")
        set(id "${CMAKE_MATCH_1}")
        set(file "${CMAKE_MATCH_2}")
        list(APPEND files "${file}")
        if(WIN32)
            string(APPEND lines "${id} TXT \"${file}\"\n")
        else()
            string(APPEND lines ".balign 16\npayload_${id}_begin:\n.incbin \"${file}\"\npayload_${id}_end:\n")
            string(APPEND table ".quad ${id}, payload_${id}_begin, payload_${id}_end\n")
        endif()
    endforeach()
    if(WIN32)
        set(VARNHOLT_RC_PAYLOADS "${lines}")
        set(VARNHOLT_RC_ICON "${VARNHOLT_GENERATED}/icon.ico")
        set(VARNHOLT_RC_MANIFEST "${CMAKE_SOURCE_DIR}/resources/installer.manifest")
        set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
        configure_file("${CMAKE_SOURCE_DIR}/resources/installer.rc.in" "${source}" @ONLY)
        list(APPEND files "${VARNHOLT_GENERATED}/icon.ico" "${VARNHOLT_RC_MANIFEST}")
    else()
        set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}-payloads.S")
        file(WRITE "${source}.tmp"
            ".section .rodata\n${lines}.section .data.rel.ro\n.balign 8\n.globl varnholt_payloads\nvarnholt_payloads:\n"
            "${table}.quad 0, 0, 0\n.section .note.GNU-stack,\"\",@progbits\n")
        file(COPY_FILE "${source}.tmp" "${source}" ONLY_IF_DIFFERENT)
    endif()
    target_sources(${target} PRIVATE "${source}")
    set_source_files_properties("${source}" PROPERTIES OBJECT_DEPENDS "${files}")
    add_dependencies(${target} payloadfiles)
endfunction()
