// A shared object without the plug-in entry points.
extern "C" __attribute__((visibility("default"))) int NotAPluginEntry() { return 42; }
