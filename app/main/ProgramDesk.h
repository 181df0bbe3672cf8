// The desk the program's machine runs while the analyzer does (platform/sim/Desk.h), and the person's input
// over the program's windows handed to the machine's USB mouse and keyboard: the one place that joins the
// display host and the machine, which know nothing of each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display/DisplayHost.h"
#include "platform/sim/DeskActivities.h"

namespace sim {
class Desk;
class Machine;
} // namespace sim

// Takes "--desk <list>" (or "--desk=<list>") out of the program's arguments and keeps what it chose for the
// desk (the last one given counts). False, with what is wrong in `error` (which names the activities), when the
// list is missing, empty, or names an activity there is none of.
bool TakeDeskOption(std::vector<std::string>& args, std::string& error);
// What the program's desk runs: what the option chose, else every activity with a display and the idle traffic
// alone without one.
sim::DeskActivities ProgramDeskActivities(bool display);
// Forgets the option's choice.
void ForgetDeskOption();

// Starts the desk on the machine (one still running is stopped first); with a display, the person's input over
// the windows goes to its mouse and keyboard too. The stop takes the input away first, then ends the desk.
void StartProgramDesk(sim::Machine& machine, bool display);
void StopProgramDesk();
sim::Desk* ProgramDesk();

// The observer that hands the person's input to the desk: the pointer's moves as the mouse's motion (a count a
// pixel; nothing across a leave, since where the pointer went meanwhile is not known), its buttons and wheel as
// the mouse's, the keys as the keyboard's usages.
display::InputObserver DeskInputObserver(sim::Desk& desk);

// The usage, on the keyboard page, of the key a virtual-key code names; 0 for a key the boot keyboard lacks.
uint8_t KeyUsageOf(uint8_t virtualKey);
