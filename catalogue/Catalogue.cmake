# The catalogue builder and the archive probe, used by the main window. They fill the node
# collection and reach the page through ICataloguePage: no widget library.
add_library(setup_catalogue STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ProbeArchive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TCatalogueBuilder.cpp)
target_include_directories(setup_catalogue PUBLIC ${CMAKE_SOURCE_DIR})
# The resource lookup in setup_platform calls back into the resource table, so the table
# follows the last setup_platform on the link line.
target_link_libraries(setup_catalogue PUBLIC setup_catalogue_lines setup_archive setup_shell
  setup_platform $<TARGET_FILE:setup_resources>)
