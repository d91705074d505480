// glimshape — tests/quarl/plugins
// Purpose: a shared library that exports none of the plug-in symbols; the manager must
// close it and go on.
extern "C" int quarlTestNotAPlugin() { return 42; }
