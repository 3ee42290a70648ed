# CLI11 and nlohmann-json are header-only Debian packages installed for the host.
# A cross build reaches them through a folder of its own that holds links to just
# those two header trees, so that no other host header (glibc's) can slip in.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})

function(zenor9_host_header_library target header subdir)
  find_path(root_${subdir} ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT root_${subdir})
    message(FATAL_ERROR "${header} not found in /usr/include: install the Debian package")
  endif()
  file(CREATE_LINK ${root_${subdir}}/${subdir} ${host_headers}/${subdir} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE ${host_headers})
endfunction()

zenor9_host_header_library(CLI11::CLI11 CLI/CLI.hpp CLI)
zenor9_host_header_library(nlohmann_json::nlohmann_json nlohmann/json.hpp nlohmann)
