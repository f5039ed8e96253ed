# Embeds data files in the program at build time: each file becomes a generated .cpp that defines
# `kelvo::embedded::<symbol>` (the bytes) and `kelvo::embedded::<symbol>Size`.
#
# Included from a CMakeLists.txt it defines kelvo_embed_file(<target> <symbol> <file>); run with
# `cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -P KelvoEmbed.cmake` it writes one generated file.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${INPUT}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT}; do not edit.\n"
    "#include <cstddef>\n#include <cstdint>\n\n"
    "namespace kelvo::embedded {\n"
    "extern const std::uint8_t ${SYMBOL}[];\n"
    "extern const std::size_t ${SYMBOL}Size;\n"
    "alignas(16) const std::uint8_t ${SYMBOL}[] = {${bytes}};\n"
    "const std::size_t ${SYMBOL}Size = sizeof(${SYMBOL});\n"
    "}  // namespace kelvo::embedded\n")
  file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
  return()
endif()

set(KELVO_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(kelvo_embed_file target symbol file)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${output} -DSYMBOL=${symbol} -P ${KELVO_EMBED_SCRIPT}
    DEPENDS ${file} ${KELVO_EMBED_SCRIPT}
    COMMENT "Embedding ${file}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
