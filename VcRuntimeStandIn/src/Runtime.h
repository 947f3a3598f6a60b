// What the start-up code of DLLs and programs shares with the rest of the runtime stand-in.
#pragma once

#include <corecrt_startup.h>

// Sets the stack-protection cookie, then runs the C and C++ initialisers (static objects'
// constructors), then the calling thread's thread_local objects' initialisers. False when an
// initialiser failed.
bool velo_runtime_start();
// Runs the calling thread's thread_local objects' initialisers, unless it ran them already.
void velo_thread_locals_start();
// Runs what atexit registered (static objects' destructors) and frees type_info's names.
void velo_runtime_stop();
