#pragma once
// Counts the heap allocations of the whole process: linking this replaces
// the global operator new with one that counts.

#include <cstdint>

uint64_t AllocationCount();
