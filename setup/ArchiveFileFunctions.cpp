#include "ArchiveFileFunctions.h"

#include "ArchiveSource.h"

namespace {

ArchiveSource& SourceOf(voidpf stream) {
    return *static_cast<ArchiveSource*>(stream);
}

voidpf ZCALLBACK OpenSource(voidpf opaque, const char*, int) {
    return opaque;
}

uLong ZCALLBACK ReadSource(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<uLong>(SourceOf(stream).Read(buffer, 1, size));
}

// The payload is read-only.
uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}

long ZCALLBACK TellSource(voidpf, voidpf stream) {
    return SourceOf(stream).Tell();
}

long ZCALLBACK SeekSource(voidpf, voidpf stream, uLong offset, int origin) {
    int from;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: from = FILE_BEGIN; break;
    case ZLIB_FILEFUNC_SEEK_CUR: from = FILE_CURRENT; break;
    case ZLIB_FILEFUNC_SEEK_END: from = FILE_END; break;
    default: return -1;
    }
    // The reader passes backward moves as the unsigned form of a negative distance.
    return SourceOf(stream).Seek(static_cast<int64_t>(offset), from);
}

// The source belongs to the archive that made it; closing the stream leaves it alone.
int ZCALLBACK CloseSource(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK TestSourceError(voidpf, voidpf stream) {
    return SourceOf(stream).Error() ? 1 : 0;
}

} // namespace

zlib_filefunc_def ArchiveFileFunctions(ArchiveSource& source) {
    zlib_filefunc_def functions{};
    functions.zopen_file = OpenSource;
    functions.zread_file = ReadSource;
    functions.zwrite_file = WriteSource;
    functions.ztell_file = TellSource;
    functions.zseek_file = SeekSource;
    functions.zclose_file = CloseSource;
    functions.zerror_file = TestSourceError;
    functions.opaque = &source;
    return functions;
}
