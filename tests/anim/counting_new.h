// Test support: linking counting_new.cpp replaces the global operator new of
// the whole binary with one that counts every allocation.
#pragma once

// Allocations made through operator new (plain and array) so far.
long long AllocationCount();
