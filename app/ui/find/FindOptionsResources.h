// The resources of the Find dialog and the Options dialog: their templates (221 and 203), the Options dialog's
// caption images (bitmaps 204 and 205) and its tips (strings 500 to 504 and one per item). The application's
// resource registration registers them.
#pragma once

void RegisterFindOptionsResources();
