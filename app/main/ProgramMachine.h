// The simulated machine the program runs on: the default machine with the capture driver, its registry kept
// in the machine's state folder between runs. Kept apart from the application's side, whose headers are user
// mode's: the one place that joins them.
#pragma once

// Boots it (a machine still running is shut down first). False when the boot failed.
bool BootProgramMachine();
// Shuts it down: every device removed, every driver unloaded, the registry flushed.
void ShutDownProgramMachine();
bool IsProgramMachineRunning();
