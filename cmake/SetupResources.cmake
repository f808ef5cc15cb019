# Resources carried inside the executable, looked up by type and name at run time
# (platform/EmbeddedResources.h). Any area may add one; the table is made once at the end.
function(setup_embed_resource type name file)
  set_property(GLOBAL APPEND PROPERTY SETUP_RESOURCE_LIST "${type}|${name}|${file}")
endfunction()

function(setup_finalize_resources)
  get_property(list GLOBAL PROPERTY SETUP_RESOURCE_LIST)
  set(asm "")
  set(decls "")
  set(rows "")
  set(deps "")
  set(i 0)
  foreach(entry IN LISTS list)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 type)
    list(GET parts 1 name)
    list(GET parts 2 file)
    list(APPEND deps "${file}")
    string(APPEND asm
      "  .section .rodata.setupres${i},\"a\"\n"
      "  .balign 16\n"
      "  .globl setup_res_${i}_begin\n"
      "setup_res_${i}_begin:\n"
      "  .incbin \"${file}\"\n"
      "  .globl setup_res_${i}_end\n"
      "setup_res_${i}_end:\n"
      "  .byte 0\n")
    string(APPEND decls "extern const unsigned char setup_res_${i}_begin[];\nextern const unsigned char setup_res_${i}_end[];\n")
    string(APPEND rows "  {\"${type}\", \"${name}\", setup_res_${i}_begin, setup_res_${i}_end},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  string(APPEND asm "  .section .note.GNU-stack,\"\",@progbits\n")
  set(dir ${CMAKE_BINARY_DIR}/generated/resources)
  file(WRITE ${dir}/EmbeddedData.S.in "${asm}")
  configure_file(${dir}/EmbeddedData.S.in ${dir}/EmbeddedData.S COPYONLY)
  file(WRITE ${dir}/EmbeddedTable.cpp.in
    "// Generated: the table of embedded resources.\n"
    "#include \"platform/EmbeddedResources.h\"\n"
    "extern \"C\" {\n${decls}}\n"
    "namespace {\nstruct Row { const char* type; const char* name; const unsigned char* begin; const unsigned char* end; };\n"
    "const Row rows[] = {\n${rows}  {nullptr, nullptr, nullptr, nullptr}\n};\n}\n"
    "bool SetupFindEmbeddedResource(const char* type, const char* name, TResourceData& out)\n{\n"
    "  for (const Row* r = rows; r->type; ++r) {\n"
    "    if (EmbeddedNameEquals(r->type, type) && EmbeddedNameEquals(r->name, name)) {\n"
    "      out.Data = r->begin; out.Size = static_cast<size_t>(r->end - r->begin); return true;\n"
    "    }\n  }\n  return false;\n}\n")
  configure_file(${dir}/EmbeddedTable.cpp.in ${dir}/EmbeddedTable.cpp COPYONLY)
  set_source_files_properties(${dir}/EmbeddedData.S PROPERTIES OBJECT_DEPENDS "${deps}")
  add_library(setup_resources STATIC ${dir}/EmbeddedData.S ${dir}/EmbeddedTable.cpp)
  target_include_directories(setup_resources PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(setup_resources PUBLIC setup_platform)
  # The lookup in setup_platform calls into the table: a static cycle, resolved by CMake.
  target_link_libraries(setup_platform PUBLIC setup_resources)
endfunction()
