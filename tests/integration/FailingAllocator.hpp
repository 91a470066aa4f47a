// The test program's operator new and delete, replaced so that a test can make one chosen
// allocation on its thread fail with std::bad_alloc, and count the allocations a call makes.
#pragma once

namespace QueltTest {

// Makes the allocation after Count more on this thread throw (0: the next one); -1 disarms.
void FailAllocationAfter(long Count) noexcept;

// Allocations made on this thread so far.
long AllocationsMade() noexcept;

} // namespace QueltTest
