#pragma once
// Counts every call of the global allocation functions in a test program.
// Link tests/support/allocation_counter.cpp into the program (which replaces
// them); the sanitizer builds leave such programs out, since the sanitizers
// bring allocators of their own that cannot be counted this way.

namespace testsupport {

// Allocations since the program started; only grows.
long AllocationCount();

}  // namespace testsupport
