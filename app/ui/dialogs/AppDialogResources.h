// The program's dialog templates and the pictures they show: the splash window, the About box, support and
// feedback, and the update check's result.
#pragma once

void RegisterAppDialogResources();
