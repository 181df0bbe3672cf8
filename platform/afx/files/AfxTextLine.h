// Internal: reading a text line into a CString through a routine that reads a piece of a line the way
// fgets does (at most nMax - 1 characters, stopping after "\n", which is kept; nullptr at the end).
#pragma once

#include <cstring>

#include "AfxString.h"

// The line without its "\n"; FALSE at the end of the input.
template <class ReadPiece> BOOL AfxReadTextLine(CString& rString, ReadPiece readPiece) {
    rString.Empty();
    char piece[256];
    bool any = false;
    while (LPTSTR text = readPiece(piece, static_cast<UINT>(sizeof piece))) {
        any = true;
        size_t n = std::strlen(text);
        if (n > 0 && text[n - 1] == '\n') {
            rString.Append(text, static_cast<int>(n - 1));
            return TRUE;
        }
        rString.Append(text, static_cast<int>(n));
    }
    return any ? TRUE : FALSE;
}
