# SPDX-License-Identifier: GPL-3.0-or-later
# The project's two kinds of target.
#
#   wavefft_library(NAME [SOURCES file...] [LINKS lib...])
#     A static library of the calling folder: every .cpp there but main.cpp
#     unless SOURCES names them; includes resolve from the top of the tree
#     ("textio/channel.h"); LINKS are public dependencies.
#
#   wavefft_tool(NAME [SOURCES file...] LINKS lib...)
#     A command (SOURCES default main.cpp) built at the top of the build
#     tree, with WAVEFFT_VERSION defined for its --version, and installed.

function(wavefft_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER ARG_SOURCES EXCLUDE REGEX ".*/main\\.cpp$")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_LINKS)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  endif()
  wavefft_warnings(${name})
endfunction()

function(wavefft_tool name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  if(NOT ARG_SOURCES)
    set(ARG_SOURCES main.cpp)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  target_compile_definitions(${name} PRIVATE WAVEFFT_VERSION="${PROJECT_VERSION}")
  wavefft_warnings(${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
