// The main frame's resources: the menus and accelerators of the frame and of both document kinds, the
// toolbar "Standard" and its images, the LED bitmaps, and the strings of the frame's panes, indicators and
// commands. The application's resource registration registers them.
#pragma once

void RegisterMainFrameResources();
