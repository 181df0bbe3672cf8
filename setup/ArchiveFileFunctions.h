// The ZIP reader's file functions over an ArchiveSource, so that it reads the payload from memory instead of
// from a C stream. The "file name" the reader opens is ignored: the source travels as the functions' opaque
// pointer and becomes the stream.
#pragma once

#include <ioapi.h>

class ArchiveSource;

zlib_filefunc_def ArchiveFileFunctions(ArchiveSource& source);
