# What pip's build (setup.py) packs into a wheel, and nothing else:
#   cmake --install BUILD --component python_wheel --prefix BUILD_LIB
# gives BUILD_LIB/kyhost/_kyhost*.so, kyhost/lib/ (the host libraries) and
# kyhost/lib/kyhost/plugins/ (the plug-ins, where the runtime looks for them
# beside its own library); setuptools adds the package's .py files. The run
# paths set in KyInstall.cmake and kyhost/python are relative ($ORIGIN), so
# the same binaries work in this layout.
if(TARGET kyhost_python)
  install(TARGETS kyhost_python LIBRARY DESTINATION kyhost COMPONENT python_wheel EXCLUDE_FROM_ALL)
  install(TARGETS ky kyx kyhost_runtime LIBRARY DESTINATION kyhost/lib COMPONENT python_wheel EXCLUDE_FROM_ALL)
  install(TARGETS ${KY_INSTALLED_PLUGINS} LIBRARY DESTINATION kyhost/lib/kyhost/plugins
          COMPONENT python_wheel EXCLUDE_FROM_ALL)
endif()
