// The program's resources: the strings, menus, accelerators and icons its main frame and document templates load.
// Start-up registers them before anything loads a resource; registering again replaces them.
#pragma once

void RegisterAppResources();
