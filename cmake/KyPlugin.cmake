# add_ky_plugin(NAME SOURCE... [LINK target...])
#
# Builds a plug-in library NAME.so (NAME.dll on Windows) into the plug-in
# directory. It links against the host's libky and libkyx, carries the
# string table and the precision control, and exports only kyxFunction.
set(KY_HOST_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../host)

function(add_ky_plugin name)
  cmake_parse_arguments(PLUGIN "" "" "LINK" ${ARGN})
  add_library(${name} MODULE
    ${PLUGIN_UNPARSED_ARGUMENTS}
    ${KY_HOST_SOURCE_DIR}/plugin_strings.c
    ${KY_HOST_SOURCE_DIR}/plugin_precision.c)
  if(WIN32)
    target_sources(${name} PRIVATE ${KY_HOST_SOURCE_DIR}/plugin_strings.rc)
  else()
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${KY_HOST_SOURCE_DIR}/plugin_exports.map)
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${KY_PLUGIN_DIR})
  # kyxErrMsgTxt unwinds plug-in frames with a C++ exception.
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:C>:-fexceptions>)
  target_link_libraries(${name} PRIVATE ky kyx ${PLUGIN_LINK})
endfunction()
