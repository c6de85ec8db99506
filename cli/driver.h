// The batch run: argument check, file search, one conversion per entry,
// the console dialogue and the exit status.
#pragma once

namespace wzx {

// Exit statuses of a run.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;   // an open failed, a header was refused, an output was lost
inline constexpr int kExitDamaged = 2;  // every entry converted, some from damaged input
inline constexpr int kExitUsage = -1;

int runDriver(int argc, char* argv[]);

}  // namespace wzx
