# The unpack worker: threads of the installation and the progress page's updates. The page
# is reached through IInstallControls, so no widget library is linked here.
add_library(setup_worker STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ThUnPackFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ThPBFUpdate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UnpackProgress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TPackInstall.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TStagedArchive.cpp)
target_include_directories(setup_worker PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(setup_worker PUBLIC setup_archive setup_record setup_shell setup_platform Qt6::Core)
