#pragma once

#include "ztv2_nt.h"

// The library's own table of entry points: constant, complete at load.
extern const InterfaceTable g_interfaceTable;
