// Random records through the decoder factory to every back-end: the Log Details pane's protocol on a grid
// with the pane's categories, the mark-up form (slots 1 to 5 around the kind's body) on an XML document, and
// the kind's body in the HTML mode on a report file. The record is an exact-size heap copy whose DataSize
// says how many payload bytes follow the header, so AddressSanitizer reports any read past them; the XML
// must parse again. The first byte of the sync word chooses the context: no document, or one holding a
// device stack of each class kind. With bit 6 of its second byte set the record is made a URB or
// continuation record: the third byte picks the tag, the function word becomes a URB function code (with
// the synchronous bit when it was there), so that the URB decoders see most of the inputs. Otherwise, with bit
// 7 set (a bit neither "#" nor "*" has, so that records as captured stay as they are), the third byte's bit 7
// chooses: clear, a HID, host-controller, hub or internal USB IOCTL record (the third byte picks the kind and
// phase, the function word's low byte one of the kind's codes, so that those decoders see every code with any
// payload); set, a function-call record (hub-interface or port-driver hook call) with a function word just
// past the last call of either kind at most. The seeds hold one call record of every hub-interface index and
// hook code on both sides, with whole argument blocks, addressed to the document's objects.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/Markup.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/ByteReader.h"
#include "common/LogHeader.h"
#include "common/RecordTags.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The HTML report goes where nothing is kept: the writer formats, buffers and writes it all the same, and a
// run neither makes a file anew for each input nor leaves one behind.
constexpr char kHtmlPath[] = "/dev/null";

CUSBLog* Document() {
    static tdl::test::DecoderDocument* document = new tdl::test::DecoderDocument;
    return document->Get();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The header is always whole: a short input is padded with zeros to 64 bytes and has no payload.
    const size_t bytes = size < LOGHDR_SIZE ? LOGHDR_SIZE : size;
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes]());
    if (size)
        std::memcpy(copy.get(), data, size);
    tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, DataSize), static_cast<ULONG>(bytes - LOGHDR_SIZE));
    if (copy[1] & 0x40) {
        static constexpr ULONG kTags[] = {LogTag::urbI, LogTag::urbR, LogTag::urbC, LogTag::iCnt, LogTag::cCnt};
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, LogType), kTags[copy[2] % std::size(kTags)]);
        const ULONG function = tdl::LoadLe<ULONG>(copy.get() + offsetof(_LOGHDR, Function));
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, Function),
                            (function & 0x1FFF) % 0x1004 | (function & 0x2000));
    } else if ((copy[1] & 0x80) && (copy[2] & 0x80)) {
        static constexpr ULONG kTags[] = {LogTag::buhI, LogTag::buhC, LogTag::khpI, LogTag::khpC};
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, LogType), kTags[copy[2] % std::size(kTags)]);
        const ULONG function = tdl::LoadLe<ULONG>(copy.get() + offsetof(_LOGHDR, Function));
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, Function), function % 82);
    } else if (copy[1] & 0x80) {
        static constexpr ULONG kTags[] = {LogTag::hidI, LogTag::hidR, LogTag::hidC, LogTag::hcdI,
                                          LogTag::hcdR, LogTag::hcdC, LogTag::hubI, LogTag::hubR,
                                          LogTag::hubC, LogTag::uinI, LogTag::uinR, LogTag::uinC};
        static constexpr ULONG kHidCodes[] = {0xB0190, 0xB0191, 0xB0192, 0xB0193, 0xB0194, 0xB0195, 0xB0197, 0xB0198,
                                              0xB019A, 0xB019C, 0xB019E, 0xB01A0, 0xB01A2, 0xB01A4, 0xB01A8, 0xB01BA,
                                              0xB01BE, 0xB01C2, 0xB01E2, 0xB01E6, 0xB020B, 0xB020F, 0xB0196};
        static constexpr ULONG kHcdCodes[] = {0x2203FC, 0x220400, 0x220404, 0x220408, 0x220424,
                                              0x220428, 0x220430, 0x220434, 0x220438, 0x22043C};
        static constexpr ULONG kHubCodes[] = {0x220408, 0x22040C, 0x220410, 0x220414, 0x220418, 0x22041C, 0x220420,
                                              0x22043C, 0x220440, 0x220444, 0x220448, 0x22044C, 0x220450, 0x220424};
        static constexpr ULONG kUinCodes[] = {0x220007, 0x22000F, 0x220013, 0x220017, 0x22001B, 0x22001F,
                                              0x220020, 0x220027, 0x22002B, 0x220420, 0x220424, 0x220428,
                                              0x22042C, 0x220433, 0x220437, 0x22043B, 0x22043F, 0x220443,
                                              0x220447, 0x22044B, 0x22044F, 0x220444};
        const size_t kind = copy[2] % std::size(kTags);
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, LogType), kTags[kind]);
        const BYTE pick = copy[offsetof(_LOGHDR, Function)];
        ULONG code = 0;
        switch (kind / 3) {
        case 0: code = kHidCodes[pick % std::size(kHidCodes)]; break;
        case 1: code = kHcdCodes[pick % std::size(kHcdCodes)]; break;
        case 2: code = kHubCodes[pick % std::size(kHubCodes)]; break;
        default: code = kUinCodes[pick % std::size(kUinCodes)]; break;
        }
        tdl::StoreLe<ULONG>(copy.get() + offsetof(_LOGHDR, Function), code);
    }
    const auto* record = reinterpret_cast<const _LOGHDR*>(copy.get());
    CUSBLog* document = (copy[0] & 1) ? Document() : nullptr;

    // One pane for the run, its grid built once; the kind categories are emptied after each input, as the
    // pane empties them when no record is shown, so that an input decodes alike alone and in a run.
    static tdl::test::LogDetailsPane* pane = new tdl::test::LogDetailsPane;
    Check(pane->ShowRecord(document, record));
    for (size_t i = kLogDetailsFirstKindCategory; i < std::size(kLogDetailsCategories); ++i)
        pane->Category(kLogDetailsCategories[i])->GetChilds()->Clear();

    CXmlOutput xmlWriter;
    Check(xmlWriter.BeginDocument("Records"));
    XmlOutputImp xml(&xmlWriter);
    {
        std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&xml, document, record));
        Check(decoder != nullptr);
        decoder->OutputMarkupRecord(0);
    }
    const CMarkup& markup = xmlWriter.GetMarkup();
    CMarkup parsed;
    Check(parsed.SetDocument(markup.GetDocument()));
    Check(parsed.GetPositionCount() == markup.GetPositionCount());

    CHtmlOutput htmlWriter;
    Check(htmlWriter.OpenByName(kHtmlPath));
    HtmlOutputImp html(&htmlWriter);
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&html, document, record));
    Check(decoder != nullptr);
    decoder->OutputKindTitle(2);
    return 0;
}
