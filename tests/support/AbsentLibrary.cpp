// A library that a core variant of the load-failure tests needs and that no set holds.
#if defined(_WIN32)
#define VELO_ABSENT_API __declspec(dllexport)
#else
#define VELO_ABSENT_API __attribute__((visibility("default")))
#endif

extern "C" VELO_ABSENT_API int veloAbsentLibraryValue() {
    return 7;
}
