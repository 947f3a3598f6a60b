// Compiled into a core variant of the load-failure tests: its call makes the core need
// VeloAbsentLibrary, which the set leaves out, as a real core may need a library of its own.
#if defined(_WIN32)
extern "C" __declspec(dllimport) int veloAbsentLibraryValue();
extern "C" __declspec(dllexport) int veloCoreUsesAbsentLibrary() {
#else
extern "C" int veloAbsentLibraryValue();
extern "C" __attribute__((visibility("default"))) int veloCoreUsesAbsentLibrary() {
#endif
    return veloAbsentLibraryValue();
}
