// Terminal services for the command-line program.
#pragma once

namespace qv::platform {

bool StderrIsTerminal();

// What runs when the user presses Ctrl-C (or the process gets SIGINT); the
// process is not ended by it. It may run at any moment on any thread (in a
// signal handler on POSIX, on a thread of the system's on Windows), so it
// may only do what is safe there: lock-free atomics, CancelSignal::Fire,
// std::_Exit. Installing it starts no thread.
using InterruptHandler = void (*)();
void InstallInterruptHandler(InterruptHandler handler);

}  // namespace qv::platform
