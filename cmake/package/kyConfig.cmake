# The Karvel stand-in host, for building plug-ins outside its tree:
#
#   find_package(ky CONFIG REQUIRED)
#   add_ky_plugin(my_plugin my_plugin.c)       # builds my_plugin.so
#
# Imported targets: ky::headers (ky.h, kyx.h), ky::ky (libky, arrays and
# memory), ky::kyx (libkyx, messages, errors, host functions). Variables:
# KY_KYHOST (the installed kyhost), KY_PLUGIN_DIR (kyhost's own plug-in
# directory), KY_PLUGIN_SOURCE_DIR (the sources every plug-in carries).
# Call a plug-in built elsewhere with KYHOST_PATH=its-folder kyhost NAME ...
get_filename_component(KY_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(KY_INCLUDE_DIR ${KY_PREFIX}/include/ky)
set(KY_LIBRARY_DIR ${KY_PREFIX}/lib)
set(KY_PLUGIN_DIR ${KY_PREFIX}/lib/kyhost/plugins)
set(KY_PLUGIN_SOURCE_DIR ${KY_PREFIX}/share/ky/plugin)
set(KY_KYHOST ${KY_PREFIX}/bin/kyhost)

if(NOT TARGET ky::ky)
  add_library(ky::headers INTERFACE IMPORTED)
  set_target_properties(ky::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${KY_INCLUDE_DIR})
  add_library(ky::ky SHARED IMPORTED)
  set_target_properties(ky::ky PROPERTIES
    IMPORTED_LOCATION ${KY_LIBRARY_DIR}/libky.so
    IMPORTED_SONAME libky.so
    INTERFACE_LINK_LIBRARIES ky::headers)
  add_library(ky::kyx SHARED IMPORTED)
  set_target_properties(ky::kyx PROPERTIES
    IMPORTED_LOCATION ${KY_LIBRARY_DIR}/libkyx.so
    IMPORTED_SONAME libkyx.so
    INTERFACE_LINK_LIBRARIES ky::ky)
endif()

# add_ky_plugin(NAME SOURCE... [LINK target...])
#
# A plug-in library NAME.so: linked against libky and libkyx, carrying the
# string table and the precision control, exporting only kyxFunction.
function(add_ky_plugin name)
  cmake_parse_arguments(PLUGIN "" "" "LINK" ${ARGN})
  add_library(${name} MODULE
    ${PLUGIN_UNPARSED_ARGUMENTS}
    ${KY_PLUGIN_SOURCE_DIR}/plugin_strings.c
    ${KY_PLUGIN_SOURCE_DIR}/plugin_precision.c)
  if(WIN32)
    target_sources(${name} PRIVATE ${KY_PLUGIN_SOURCE_DIR}/plugin_strings.rc)
  else()
    target_link_options(${name} PRIVATE -Wl,--version-script=${KY_PLUGIN_SOURCE_DIR}/plugin_exports.map)
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    BUILD_RPATH ${KY_LIBRARY_DIR})
  # kyxErrMsgTxt unwinds plug-in frames with a C++ exception.
  target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:C>:-fexceptions>)
  target_link_libraries(${name} PRIVATE ky::kyx ${PLUGIN_LINK})
endfunction()
