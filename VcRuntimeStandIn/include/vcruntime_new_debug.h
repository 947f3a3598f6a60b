// Stand-in for the VC runtime's debug operator new declarations: this build has no debug runtime.
#pragma once
#include <vcruntime_new.h>
