#pragma once

// The one way into <windows.h>: lean, and without the min/max macros that
// break <algorithm>.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
