#pragma once
// Buffers for tables of a million rows: asks the system to back them with huge pages where it offers
// them, so that filling tens of megabytes takes a few hundred page faults instead of thousands. Only a
// hint: the contents and every result stay as they are, and where there is no such paging it does
// nothing.
#include <cstddef>

namespace quorvel {

// The hint for the whole 2 MiB pages inside [data, data + bytes); smaller buffers are left alone.
void AdviseHugePages(const void* data, std::size_t bytes);

// Faults in the pages of [data, data + bytes) ready for writing, without changing what they hold, so
// that two threads can take a large copy's page faults between them. Only a hint, as above.
void PopulateForWriting(const void* data, std::size_t bytes);

// Reserves room for n elements and gives the hint for it, before anything is written there.
template <class Buffer>
void ReserveLarge(Buffer& buffer, std::size_t n) {
    buffer.reserve(n);
    AdviseHugePages(buffer.data(), buffer.capacity() * sizeof(*buffer.data()));
}

// Asks the C library to keep the room of freed blocks up to 32 MiB for the next ones instead of giving
// it back to the system: a large table's read, recompute and chart each free tens of megabytes that the
// next step needs again, and fresh memory costs a page fault and the system's zeroing per page. Called
// first thing in main, before any thread starts.
void KeepFreedRoomForReuse();

}  // namespace quorvel
