#pragma once
// For the crash tests: the engine's passes (in tpatch, or in the test build of the engine
// library inside the utility) can kill their own process at a chosen point, as a task manager or
// a power cut would, by setting
//   TPATCH_KILL_AT_OPERATION=N  killed just before the N-th (from 0) changing file operation
//                               (creating, writing, flushing, closing, renaming, removing,
//                               making or removing folders, changing flags);
//   TPATCH_KILL_AT_BYTE=N       killed once N bytes were written in all, inside the write that
//                               crosses N;
//   TPATCH_COUNT_TO=FILE        "OPERATIONS BYTES" of the whole pass written to FILE at exit,
//                               to choose points from.
// Unset, the passes use the native file system directly. Built only with the CMake option
// TESSALY_CRASH_POINTS, which the test builds turn on and a build to ship leaves off.
#include "file_system.h"

namespace tpe {

FileSystem& CrashPointFileSystem();

}  // namespace tpe
