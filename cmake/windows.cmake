# What Debian has for the host only, made available to the Windows cross build: the
# header-only libraries through a folder holding just their headers (the cross compiler must
# never see the host's /usr/include), GoogleTest built from its sources.
set(_headers ${CMAKE_BINARY_DIR}/host-headers)
set(_configs ${CMAKE_BINARY_DIR}/host-configs)
file(MAKE_DIRECTORY ${_headers} ${_configs})
foreach(dir nlohmann CLI)
  if(EXISTS /usr/include/${dir} AND NOT EXISTS ${_headers}/${dir})
    file(CREATE_LINK /usr/include/${dir} ${_headers}/${dir} SYMBOLIC)
  endif()
endforeach()

# find_package(NAME) reads NAME_DIR/NAMEConfig.cmake, which names the header-only target.
foreach(entry "nlohmann_json|nlohmann_json::nlohmann_json" "CLI11|CLI11::CLI11")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 package)
  list(GET entry 1 target)
  file(WRITE ${_configs}/${package}Config.cmake
       "if(NOT TARGET ${target})\n"
       "  add_library(${target} INTERFACE IMPORTED GLOBAL)\n"
       "  target_include_directories(${target} SYSTEM INTERFACE ${_headers})\n"
       "endif()\n")
  file(WRITE ${_configs}/${package}ConfigVersion.cmake
       "set(PACKAGE_VERSION 99)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
  set(${package}_DIR ${_configs} CACHE PATH "" FORCE)
endforeach()

if(QV31_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# Windows 7 and later: the Win32 calls the platform files use.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)

# qv31_windows_program(TARGET): the UTF-8 manifest embedded in a Windows program.
enable_language(RC)
function(qv31_windows_program target)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/windows/utf8.rc)
endfunction()
