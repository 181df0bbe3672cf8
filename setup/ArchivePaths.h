// Folders the reader makes below its base folder for the entries it writes.
#pragma once

#include <string>

// True for a path that stays below whatever folder it is joined to: it does not start with "/" or "\", has
// no drive (":" as its second character) and has no ".." part.
bool StaysBelowBase(const std::string& path);

// Makes every folder of `relativePath` below `baseFolder` (which ends with a separator), parents first; "/"
// and "\" both separate. Existing folders are left alone; an empty path makes nothing. Failures are not
// reported: the write that needs the folder reports them.
void MakeDirectoryPath(const std::string& baseFolder, const std::string& relativePath);
