/* The string table that every plug-in library carries: entry 100 names the
 * host release the plug-in was built for, entry 101 its inlining mode.
 *
 * On Linux the table is a read-only section ".kystrings" of the library, one
 * "ID TEXT" line per entry, so that it can be read from the file without
 * loading the library and without exporting anything besides kyxFunction.
 * Windows builds carry the same entries as a string resource instead
 * (plugin_strings.rc). */
#if !defined(_WIN32)
__attribute__((section(".kystrings"), used)) static const char kyPluginStrings[] =
    "100 Karvel R11 native\n"
    "101 not inlined\n";
#endif
