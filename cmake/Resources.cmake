# po_embed_resources(target ENTRIES type name file [type name file ...])
# Compiles the files into a table of the target's own sources; the table registers itself with
# pf::RegisterResources when the program starts. Add it to executables (a static library's
# unreferenced object would be dropped by the linker).
function(po_embed_resources target)
  cmake_parse_arguments(ARG "" "" "ENTRIES" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(script ${PROJECT_SOURCE_DIR}/cmake/EmbedResources.cmake)
  set(files)
  set(spec)
  list(LENGTH ARG_ENTRIES n)
  math(EXPR last "${n} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR j "${i} + 1")
    math(EXPR k "${i} + 2")
    list(GET ARG_ENTRIES ${i} type)
    list(GET ARG_ENTRIES ${j} name)
    list(GET ARG_ENTRIES ${k} file)
    get_filename_component(file ${file} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    list(APPEND files ${file})
    list(APPEND spec "${type}|${name}|${file}")
  endforeach()
  string(REPLACE ";" "::" spec_arg "${spec}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DSPEC=${spec_arg} -P ${script}
    DEPENDS ${files} ${script}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
