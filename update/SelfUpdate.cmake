# The self-update: the check of the server, the notice, the download and the swap.
find_package(OpenSSL 3 REQUIRED COMPONENTS Crypto)

if(NOT SETUP_UPDATE_PUBLIC_KEY STREQUAL "" AND NOT SETUP_UPDATE_PUBLIC_KEY MATCHES "^[0-9a-fA-F]+$")
  message(FATAL_ERROR "SETUP_UPDATE_PUBLIC_KEY must be 64 hex digits (tools/publish-update.sh prints it)")
endif()
string(LENGTH "${SETUP_UPDATE_PUBLIC_KEY}" _setup_key_length)
if(NOT _setup_key_length EQUAL 0 AND NOT _setup_key_length EQUAL 64)
  message(FATAL_ERROR "SETUP_UPDATE_PUBLIC_KEY must be 64 hex digits, not ${_setup_key_length}")
endif()

# Window-less: the notice reader, its signature and the shared results. Fuzzed and
# unit-tested in the sanitizer build.
add_library(setup_updatecore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TBuildUpdReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TUpdateSignature.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TUpdateServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TUpdateInfoText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TSharedString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TDownloadWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TPackageStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TExecutableSwap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UpdateState.cpp)
target_include_directories(setup_updatecore PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(setup_updatecore PUBLIC setup_platform OpenSSL::Crypto)
set_target_properties(setup_updatecore PROPERTIES AUTOMOC OFF)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/TUpdateServer.cpp PROPERTIES
  COMPILE_DEFINITIONS "SETUP_UPDATE_HOST=\"${SETUP_UPDATE_HOST}\";SETUP_UPDATE_PUBLIC_KEY=\"${SETUP_UPDATE_PUBLIC_KEY}\"")

if(NOT SETUP_FUZZ)
  add_library(setup_selfupdate STATIC
    ${CMAKE_CURRENT_LIST_DIR}/TfUpdMess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TThCheckUpd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TSelfUpdate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TUpdatePackage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TUpdateDownload.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EventLoopWait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SelfUpdateHooks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IUpdateWindow.cpp)
  target_include_directories(setup_selfupdate PUBLIC ${CMAKE_SOURCE_DIR})
  # The window is reached through IUpdateWindow, which it registers: nothing of setup_app.
  target_link_libraries(setup_selfupdate PUBLIC setup_updatecore setup_http setup_archive
    setup_game setup_shell setup_platform_gui Qt6::Widgets OpenSSL::Crypto)
  # The platform's resource lookup is defined in setup_resources, which itself needs the
  # platform: the static linker must scan the two as a group.
  target_link_libraries(setup_selfupdate INTERFACE
    "$<LINK_GROUP:RESCAN,setup_platform,setup_resources>")
endif()
