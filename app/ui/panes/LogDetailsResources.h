// The Log Details pane's resources: its toolbar (the properties panes' order buttons) with its images, and
// the strings of those buttons. The application's resource registration registers them.
#pragma once

void RegisterLogDetailsResources();
