# Tests of the catalogue builder and the archive probe; they need the 7z tool and 7z.so.
if(NOT SETUP_FUZZ)
  add_library(setup_catalogue_testsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/test_catalogue_support.cpp)
  target_link_libraries(setup_catalogue_testsupport PUBLIC setup_shell setup_test_7zlib Qt6::Core)
  target_include_directories(setup_catalogue_testsupport PUBLIC ${CMAKE_CURRENT_LIST_DIR})

  add_executable(test_catalogue_build ${CMAKE_CURRENT_LIST_DIR}/test_catalogue_build.cpp)
  target_link_libraries(test_catalogue_build PRIVATE setup_catalogue_testsupport setup_catalogue Qt6::Test)
  # Window-less: no platform plugin.
  add_test(NAME catalogue.build COMMAND test_catalogue_build)
  set_tests_properties(catalogue.build PROPERTIES TIMEOUT 300)

  # The wizard walk needs the whole main window, game detection included.
  if(TARGET setup_app AND TARGET setup_game AND TARGET setup_app_testsupport)
    add_executable(test_catalogue_wizard ${CMAKE_CURRENT_LIST_DIR}/test_catalogue_wizard.cpp)
    target_link_libraries(test_catalogue_wizard PRIVATE setup_app_testsupport setup_catalogue_testsupport Qt6::Test)
    if(TARGET setup_version_record)
      target_link_libraries(test_catalogue_wizard PRIVATE setup_version_record)
    endif()
    add_test(NAME catalogue.wizard COMMAND test_catalogue_wizard)
    set_tests_properties(catalogue.wizard PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endif()
endif()
