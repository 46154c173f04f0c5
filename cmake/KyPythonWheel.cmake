# What pip's build (setup.py) builds and packs into a wheel, and nothing else:
#   cmake --build BUILD --target kyhost_product
#   cmake --install BUILD --component python_wheel --prefix BUILD_LIB
# gives BUILD_LIB/kyhost/_kyhost*.so (and _kyhost_sweep.so), kyhost/lib/ (the host libraries),
# kyhost/lib/kyhost/plugins/ (the plug-ins, where the runtime looks for them
# beside its own library) and kyhost/bin/kyhost (the command line, which
# pip's kyhost launcher and python -m kyhost run); setuptools adds the
# package's .py files. The run paths set in KyInstall.cmake and kyhost/python
# are relative ($ORIGIN), so the same binaries work in this layout. The
# plug-ins are those of KY_INSTALLED_PLUGINS (KyInstall.cmake), the one list
# of what is installed.
if(TARGET kyhost_python)
  install(TARGETS kyhost_python LIBRARY DESTINATION kyhost COMPONENT python_wheel EXCLUDE_FROM_ALL)
  if(TARGET kyhost_python_sweep)
    install(TARGETS kyhost_python_sweep LIBRARY DESTINATION kyhost COMPONENT python_wheel EXCLUDE_FROM_ALL)
  endif()
  install(TARGETS kyhost RUNTIME DESTINATION kyhost/bin COMPONENT python_wheel EXCLUDE_FROM_ALL)
  install(TARGETS ky kyx kyhost_runtime LIBRARY DESTINATION kyhost/lib COMPONENT python_wheel EXCLUDE_FROM_ALL)
  install(TARGETS ${KY_INSTALLED_PLUGINS} LIBRARY DESTINATION kyhost/lib/kyhost/plugins
          COMPONENT python_wheel EXCLUDE_FROM_ALL)
endif()
