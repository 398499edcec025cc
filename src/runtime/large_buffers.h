#pragma once
// Memory for tables of a million rows.

namespace quorvel {

// Asks the C library to keep the room of freed blocks up to 32 MiB for the next ones instead of giving
// it back to the system: a large table's read, recompute and chart each free tens of megabytes that the
// next step needs again, and fresh memory costs a page fault and the system's zeroing per page. Called
// first thing in main, before any thread starts.
void KeepFreedRoomForReuse();

}  // namespace quorvel
