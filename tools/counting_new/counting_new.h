// Linking the zarv_counting_new library replaces the global operator new and
// delete of the whole binary with ones that count allocations.
#pragma once

// Allocations made through operator new (any form) so far.
long long AllocationCount();
// Blocks from operator new (any form) not yet given back to operator delete.
long long LiveAllocations();
