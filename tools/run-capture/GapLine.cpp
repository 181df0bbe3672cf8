#include "tools/run-capture/GapLine.h"

namespace tdl::session {

namespace {

// "1 record", "2 records".
std::string Counted(unsigned long long count, const char* noun) {
    return Grouped(count) + " " + noun + (count == 1 ? "" : "s");
}

} // namespace

std::string Grouped(unsigned long long count) {
    std::string digits = std::to_string(count);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string GapLine(unsigned long gaps, unsigned long keptGaps, unsigned long lost) {
    const std::string line = "gaps: " + Grouped(gaps) + " (";
    if (gaps == 0)
        return line + "no record lost)";
    const std::string lostText = Counted(lost, "record") + " lost";
    if (keptGaps >= gaps)
        return line + lostText + ")";
    const unsigned long dropped = gaps - keptGaps;
    const std::string droppedText = dropped == 1 ? "fell among records since dropped, so its loss is not known"
                                                 : "fell among records since dropped, so their loss is not known";
    if (keptGaps == 0)
        return line + (gaps == 1 ? "it " : "all ") + droppedText + ")";
    const std::string keptText = keptGaps == 1
                                     ? "the gap whose records the banks still hold"
                                     : "the " + Grouped(keptGaps) + " gaps whose records the banks still hold";
    return line + lostText + " in " + keptText + "; " + Counted(dropped, "gap") + " " + droppedText + ")";
}

} // namespace tdl::session
