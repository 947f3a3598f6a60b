// A DLL's entry point: static objects are constructed when the DLL loads and destroyed when it
// unloads (FreeLibrary or process exit), each load anew.
#include "Runtime.h"

#include <windows.h>

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return velo_runtime_start() ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            velo_runtime_stop();
            return TRUE;
        default:
            return TRUE;
    }
}
