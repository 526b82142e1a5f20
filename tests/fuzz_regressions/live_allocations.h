// Test support: linking live_allocations.cpp replaces the global operator
// new and delete of the whole binary with ones that count what is alive.
#pragma once

// Blocks from operator new (any form) not yet given back to operator delete.
long long LiveAllocations();
