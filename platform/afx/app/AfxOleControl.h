// Simulation control of the framework's OLE start-up: a test makes AfxOleInit fail.
#pragma once

namespace afx {

void SetOleInitFails(bool fails);
// Whether AfxOleInit succeeded since the last reset, and whether AfxEnableControlContainer was called.
bool OleInitialized();
bool ControlContainerEnabled();
void ResetOleState();

} // namespace afx
