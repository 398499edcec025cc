#pragma once
// How the window's work uses the machine.
#include "fitting/work_options.h"

namespace quorvel {

// A large table's reading, extraction, exact sums and deviations take the second core too: the half on
// the window's thread goes in steps with the window's events between them, and the user's input waits
// meanwhile, so nothing writes the table or the number settings while the other half reads them.
inline constexpr TWorkOptions kWindowWork{.secondCore = true};

}  // namespace quorvel
