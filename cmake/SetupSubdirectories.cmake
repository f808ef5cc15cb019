# setup_add_subdirectories(): adds every direct subfolder of the current source folder that
# has a CMakeLists.txt, in name order; folders without one (fixtures, shared headers) are skipped.
function(setup_add_subdirectories)
  file(GLOB lists RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  list(SORT lists)
  foreach(list_file IN LISTS lists)
    get_filename_component(dir ${list_file} DIRECTORY)
    add_subdirectory(${dir})
  endforeach()
endfunction()
