// What the descriptor decoder tests share: byte strings, the three modes, and running a decoder into the
// recording back-end to compare its calls with a golden text.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/decoders/framework/Outputer.h"
#include "tests/support/RecordingOutputImp.h"

namespace desc_test {

using Bytes = std::vector<BYTE>;

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

constexpr int kModes[] = {OUTPUT_MODE_XML, OUTPUT_MODE_GRID, OUTPUT_MODE_HTML};

// The calls a decoder makes, one per line. The bytes are an exact-size heap copy, so a read past the count
// is caught.
inline std::string Emit(const Bytes& bytes, const std::function<void(OutputerImp*, const BYTE*, ULONG)>& run) {
    tdl::test::RecordingOutputImp out;
    std::unique_ptr<BYTE[]> copy(new BYTE[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    run(&out, copy.get(), static_cast<ULONG>(bytes.size()));
    return out.Text();
}

// Whether `text` holds `line` as a whole line.
inline bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

} // namespace desc_test
