// A console program's entry point: the UCRT's argument and environment set-up, static objects,
// main, then exit() (which runs the UCRT's atexit table, and through it this program's own).
#include "Runtime.h"

#include <stdlib.h>

// The POSIX names that oldnames.lib maps to the UCRT's underscored functions, for the test
// framework's file calls.
#define VELO_OLD_NAME(name)                                       \
    __pragma(comment(linker, "/alternatename:" #name "=_" #name)) \
        __pragma(comment(linker, "/alternatename:__imp_" #name "=__imp__" #name))
VELO_OLD_NAME(read)
VELO_OLD_NAME(write)
VELO_OLD_NAME(close)
VELO_OLD_NAME(creat)
VELO_OLD_NAME(dup)
VELO_OLD_NAME(dup2)
VELO_OLD_NAME(fdopen)
VELO_OLD_NAME(fileno)
VELO_OLD_NAME(isatty)
VELO_OLD_NAME(strdup)
VELO_OLD_NAME(unlink)
VELO_OLD_NAME(rmdir)
VELO_OLD_NAME(chdir)
VELO_OLD_NAME(getcwd)
VELO_OLD_NAME(stricmp)
VELO_OLD_NAME(getpid)

int main(int argc, char** argv);

extern "C" int mainCRTStartup() {
    _set_app_type(_crt_console_app);
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0 ||
        _initialize_narrow_environment() != 0 || !velo_runtime_start()) {
        _exit(255);
    }
    _crt_atexit(velo_runtime_stop);
    exit(main(*__p___argc(), *__p___argv()));
}
