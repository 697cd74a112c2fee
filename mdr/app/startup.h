// Process start-up (checks, folders, skip map, Config.ini, language, log, first-run offer) and
// shutdown (the window group of Config.ini).
#pragma once

namespace mdr {

// Builds the main window and runs its event loop until quit is requested. Before returning it
// stores the window's state in Settings() (position and size unless minimized, with
// Flags().minimizedAtExit set when it was; column widths, splitter width, ScanZonesState).
using MainWindowRunner = int (*)();

// Runs the start-up steps, then runner, then the shutdown steps. Returns the exit code.
// The command line has been parsed into Flags() (and logged) when runner is called.
int StartUp(MainWindowRunner runner);

} // namespace mdr
