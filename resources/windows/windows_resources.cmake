# The Windows programs' icon and version resource: Explorer's Properties show
# the product, version, description and copyright, and Explorer, the taskbar
# and the Start menu show the icon. The version is the project's one version
# number, project(VERSION) in the top-level CMakeLists.txt.
if(WIN32)
  enable_language(RC)
endif()

set(ZENOR9_WINDOWS_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR})

# zenor9_windows_resources(TARGET DESCRIPTION): gives the executable TARGET
# (TARGET.exe) the application icon and a version resource with DESCRIPTION as
# its file description. Does nothing when not building for Windows, so that a
# target's CMakeLists can call it on every platform.
function(zenor9_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(ZENOR9_PROGRAM ${target})
  set(ZENOR9_DESCRIPTION ${description})
  set(ZENOR9_ICON_FILE ${ZENOR9_WINDOWS_RESOURCES_DIR}/app.ico)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${ZENOR9_WINDOWS_RESOURCES_DIR}/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${ZENOR9_WINDOWS_RESOURCES_DIR})
endfunction()
