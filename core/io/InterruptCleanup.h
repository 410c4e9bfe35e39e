#pragma once
// One file to remove should the process be interrupted: the temporary file that a save is
// writing. Its name is stored before the file is created, so that a signal handler removes it
// with one async-signal-safe call, allocating nothing.

#include <string>

namespace velmora {

// Remembers `utf8Path` until ForgetFileToRemoveOnInterrupt; replaces what was remembered. Called
// by the one thread that saves, never from a signal handler.
void RememberFileToRemoveOnInterrupt(const std::string& utf8Path);
void ForgetFileToRemoveOnInterrupt();

// Removes the remembered file, if any. Async-signal-safe: made for the handler of a signal that
// would end the process.
void RemoveFileOnInterrupt();

}  // namespace velmora
