# The catalogue builder and the archive probe, used by the main window; they need the tree
# control and the archive binding.
if(TARGET setup_checktree AND TARGET setup_archive)
  add_library(setup_catalogue STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ProbeArchive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TCatalogueBuilder.cpp)
  target_include_directories(setup_catalogue PUBLIC ${CMAKE_SOURCE_DIR})
  # The resource lookup in setup_platform calls back into the resource table, so the table
  # follows the last setup_platform on the link line.
  target_link_libraries(setup_catalogue PUBLIC setup_checktree setup_archive setup_shell setup_platform_gui
    setup_platform $<TARGET_FILE:setup_resources>)
endif()
