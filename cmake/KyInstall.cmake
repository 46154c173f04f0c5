# cmake --install: kyhost, the host libraries, the plug-ins, the headers of
# host/ and a CMake package and pkg-config file (both named "ky") with which
# plug-ins are built outside this tree. The layout under the prefix:
#   bin/kyhost
#   lib/libky.so, lib/libkyx.so, lib/libkyhost_runtime.so
#   lib/kyhost/plugins/*.so        the plug-in directory (the runtime looks in
#                                  kyhost/plugins beside its own library)
#   include/ky/                    ky.h, kyx.h, ky_export.h, kyhost_embed.h
#   share/ky/plugin/               the sources every plug-in carries
#   lib/cmake/ky/, lib/pkgconfig/ky.pc
# Everything finds the libraries relative to itself (RPATH $ORIGIN), so an
# installed tree works wherever it is put.
include(CMakePackageConfigHelpers)

set(KY_INSTALL_LIBDIR lib)  # fixed: the plug-in directory is found relative to it
set(KY_INSTALL_PLUGINDIR ${KY_INSTALL_LIBDIR}/kyhost/plugins)
set(KY_INSTALL_INCLUDEDIR include/ky)
set(KY_INSTALL_SOURCEDIR share/ky/plugin)
set(KY_INSTALL_CMAKEDIR ${KY_INSTALL_LIBDIR}/cmake/ky)

set_target_properties(kyhost PROPERTIES INSTALL_RPATH "\$ORIGIN/../${KY_INSTALL_LIBDIR}")
set_target_properties(ky kyx kyhost_runtime PROPERTIES INSTALL_RPATH "\$ORIGIN")
install(TARGETS kyhost RUNTIME DESTINATION bin)
install(TARGETS ky kyx kyhost_runtime LIBRARY DESTINATION ${KY_INSTALL_LIBDIR})

set(KY_INSTALLED_PLUGINS "")
foreach(plugin sweeptri nearwalk byteappend trinterp)
  if(TARGET ${plugin})
    list(APPEND KY_INSTALLED_PLUGINS ${plugin})
  endif()
endforeach()
# kyhost_product: what is installed (and what pip's build packs), and
# nothing else: no tests, benchmarks or fuzz targets, which the default
# target also builds.
add_custom_target(kyhost_product)
add_dependencies(kyhost_product kyhost ${KY_INSTALLED_PLUGINS})
if(TARGET kyhost_python)
  add_dependencies(kyhost_product kyhost_python)
endif()

set_target_properties(${KY_INSTALLED_PLUGINS} PROPERTIES INSTALL_RPATH "\$ORIGIN/../..")
install(TARGETS ${KY_INSTALLED_PLUGINS} LIBRARY DESTINATION ${KY_INSTALL_PLUGINDIR})

install(FILES host/ky.h host/kyx.h host/ky_export.h kyhost/runtime/kyhost_embed.h DESTINATION ${KY_INSTALL_INCLUDEDIR})
install(FILES host/plugin_strings.c host/plugin_precision.c host/plugin_exports.map host/plugin_strings.rc
        DESTINATION ${KY_INSTALL_SOURCEDIR})

write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/kyConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(cmake/package/ky.pc.in ${CMAKE_BINARY_DIR}/package/ky.pc @ONLY)
install(FILES cmake/package/kyConfig.cmake ${CMAKE_BINARY_DIR}/package/kyConfigVersion.cmake
        DESTINATION ${KY_INSTALL_CMAKEDIR})
install(FILES ${CMAKE_BINARY_DIR}/package/ky.pc DESTINATION ${KY_INSTALL_LIBDIR}/pkgconfig)

# Installs into a temporary prefix, builds a plug-in outside the tree
# against it (with CMake and with pkg-config) and calls it through the
# installed kyhost. In a sanitizer build the Python package is left out:
# the interpreter is not built with the sanitizers and cannot load it.
if(KY_SANITIZE)
  set(kyInstallTestPython no)
else()
  set(kyInstallTestPython yes)
endif()
add_test(NAME install.out_of_tree_plugin
         COMMAND ${CMAKE_SOURCE_DIR}/cmake/tests/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_C_COMPILER}
                 ${kyInstallTestPython})
set_tests_properties(install.out_of_tree_plugin PROPERTIES LABELS install TIMEOUT 300)
