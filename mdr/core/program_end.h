// Ending the process: what start-up made for the whole process (COM on the main thread, fonts,
// icons) is released first. Any layer may end the program after a failure the user was told of.
#pragma once

namespace mdr {

// Start-up: COM is initialised on the main thread and must be released at the end.
void NoteComInitialized();
// Releases COM, fonts and icons; safe to call more than once.
void ReleaseRuntime();
// Ends the process at once after a failure the user has been told about (a window or thread
// that could not be made): releases the runtime and exits with exitCode. Settings are not saved.
[[noreturn]] void EndProgram(int exitCode = 0);

} // namespace mdr
