// A shared library that does not export kyxFunction.
extern "C" __attribute__((visibility("default"))) int notTheEntryPoint() { return 1; }
