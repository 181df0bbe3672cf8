// Kind tags and frame markers of capture-log and change-log records, as 32-bit values in memory byte
// order (see FourCC.h). A request tag is a three-letter kind and a phase letter: I initiated (before the
// hooked dispatch routine), R returned (after it), C completed (completion routine).
#pragma once

#include "common/FourCC.h"

namespace LogTag {

// Frame markers.
constexpr ULONG Sync = FourCC("####");    // first word of every record
constexpr ULONG GapSync = FourCC("****"); // sync word the application writes over a record that breaks the sequence
constexpr ULONG Data = FourCC("DATA");    // header word 60: the record is complete
constexpr ULONG More = FourCC("MORE");    // header word 60: continuation records follow
constexpr ULONG Fini = FourCC("FINI");    // trailer after the payload

// URB requests and their continuations.
constexpr ULONG urbI = FourCC("urbI");
constexpr ULONG urbR = FourCC("urbR");
constexpr ULONG urbC = FourCC("urbC");
constexpr ULONG iCnt = FourCC("iCnt"); // continues a "urbI"
constexpr ULONG cCnt = FourCC("cCnt"); // continues a "urbC"

// Other internal USB requests, host-controller, hub and HID device-control requests, power and PnP.
constexpr ULONG uinI = FourCC("uinI");
constexpr ULONG uinR = FourCC("uinR");
constexpr ULONG uinC = FourCC("uinC");
constexpr ULONG hcdI = FourCC("hcdI");
constexpr ULONG hcdR = FourCC("hcdR");
constexpr ULONG hcdC = FourCC("hcdC");
constexpr ULONG hubI = FourCC("hubI");
constexpr ULONG hubR = FourCC("hubR");
constexpr ULONG hubC = FourCC("hubC");
constexpr ULONG hidI = FourCC("hidI");
constexpr ULONG hidR = FourCC("hidR");
constexpr ULONG hidC = FourCC("hidC");
constexpr ULONG powI = FourCC("powI");
constexpr ULONG powR = FourCC("powR");
constexpr ULONG powC = FourCC("powC");
constexpr ULONG pnpI = FourCC("pnpI");
constexpr ULONG pnpR = FourCC("pnpR");
constexpr ULONG pnpC = FourCC("pnpC");

// Device-control completions of other kinds; the "I" and "R" forms and the "int" kind are known to the
// application but never written by the driver.
constexpr ULONG ctlI = FourCC("ctlI");
constexpr ULONG ctlR = FourCC("ctlR");
constexpr ULONG ctlC = FourCC("ctlC");
constexpr ULONG intI = FourCC("intI");
constexpr ULONG intR = FourCC("intR");
constexpr ULONG intC = FourCC("intC");

// Hub-interface calls and port-driver/miniport hook calls (decoded, never written by this driver).
constexpr ULONG buhI = FourCC("buhI");
constexpr ULONG buhC = FourCC("buhC");
constexpr ULONG khpI = FourCC("khpI");
constexpr ULONG khpC = FourCC("khpC");

// Log start and end (both logs).
constexpr ULONG atsL = FourCC("atsL");
constexpr ULONG dneL = FourCC("dneL");

// Change log: device object, driver object and device stack arrival and removal.
constexpr ULONG vedA = FourCC("vedA");
constexpr ULONG vedR = FourCC("vedR");
constexpr ULONG vrdA = FourCC("vrdA");
constexpr ULONG vrdR = FourCC("vrdR");
constexpr ULONG ktsA = FourCC("ktsA");
constexpr ULONG ktsR = FourCC("ktsR");

// The three-letter kind of a request tag (its first three characters; the phase byte cleared).
constexpr ULONG KindOf(ULONG tag) {
    return tag & 0x00FFFFFFu;
}
// The phase letter of a request tag ('I', 'R' or 'C'); other tags give their fourth character.
constexpr char PhaseOf(ULONG tag) {
    return FourCCChar(tag, 3);
}
// A request tag from a kind ("urb") and a phase letter.
constexpr ULONG Make(ULONG kind, char phase) {
    return KindOf(kind) | static_cast<ULONG>(static_cast<UCHAR>(phase)) << 24;
}

constexpr ULONG KindUrb = FourCC('u', 'r', 'b', 0);
constexpr ULONG KindUin = FourCC('u', 'i', 'n', 0);
constexpr ULONG KindHcd = FourCC('h', 'c', 'd', 0);
constexpr ULONG KindHub = FourCC('h', 'u', 'b', 0);
constexpr ULONG KindHid = FourCC('h', 'i', 'd', 0);
constexpr ULONG KindPow = FourCC('p', 'o', 'w', 0);
constexpr ULONG KindPnp = FourCC('p', 'n', 'p', 0);
constexpr ULONG KindCtl = FourCC('c', 't', 'l', 0);
constexpr ULONG KindInt = FourCC('i', 'n', 't', 0);
constexpr ULONG KindBuh = FourCC('b', 'u', 'h', 0);
constexpr ULONG KindKhp = FourCC('k', 'h', 'p', 0);

// Records of the change log (arrival and removal of device objects, driver objects and stacks).
constexpr bool IsChangeLogTag(ULONG tag) {
    return tag == vedA || tag == vedR || tag == vrdA || tag == vrdR || tag == ktsA || tag == ktsR;
}
// Records that describe no request: log start and end and the change-log records.
constexpr bool IsNonRequestTag(ULONG tag) {
    return tag == atsL || tag == dneL || IsChangeLogTag(tag);
}
// URB records and their continuations.
constexpr bool IsUrbTag(ULONG tag) {
    return tag == urbI || tag == urbR || tag == urbC || tag == iCnt || tag == cCnt;
}

} // namespace LogTag

static_assert(LogTag::Sync == 0x23232323 && LogTag::Data == 0x41544144 && LogTag::More == 0x45524F4D &&
              LogTag::Fini == 0x494E4946);
static_assert(LogTag::Make(LogTag::KindUrb, 'C') == LogTag::urbC && LogTag::KindOf(LogTag::hidR) == LogTag::KindHid);
