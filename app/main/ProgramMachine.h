// The simulated machine the program runs on: the default machine with the capture driver, its registry kept
// in the machine's state folder between runs. Kept apart from the application's side, whose headers are user
// mode's: the one place that joins them.
#pragma once

// Boots it (a machine still running is shut down first). False when the boot failed.
bool BootProgramMachine();
// Starts the desk on it (ProgramDesk.h): the activities the --desk option chose, else every one with a display
// and the idle traffic alone without; with a display, the person's input goes to its mouse and keyboard too.
void StartProgramMachineDesk(bool display);
// Shuts it down: the desk stopped, every device removed, every driver unloaded, the registry flushed.
void ShutDownProgramMachine();
bool IsProgramMachineRunning();
