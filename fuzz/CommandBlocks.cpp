// Random SCSI command blocks through the command block decoder, under a random command set and wrapper
// length, into a pane's property grid and an XML document (which must parse again). The input's first two
// bytes choose the subclass and bCBWCBLength; the next sixteen are the block, an exact-size heap copy of the
// CBWCB field, so AddressSanitizer reports any read past it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/decoders/scsi/CdbOutputer.h"
#include "app/devices/reports/Markup.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/support/TestGridPane.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const BYTE subclass = size > 0 ? data[0] : 0;
    const BYTE cbLength = size > 1 ? data[1] : 0;
    std::unique_ptr<BYTE[]> cdb(new BYTE[CdbOutputer::kCdbSize]());
    if (size > 2)
        std::memcpy(cdb.get(), data + 2, std::min(size - 2, CdbOutputer::kCdbSize));
    const ULONG length = cbLength & 0x1F;

    static tdl::test::TestGridPane* pane = new tdl::test::TestGridPane;
    {
        GridOutputImp grid(pane);
        grid.ShowCategory("URB");
        CdbOutputer decoder(&grid, nullptr, nullptr, cdb.get(), length);
        decoder.Output(OUTPUT_MODE_GRID, subclass);
    }
    pane->Category("URB")->GetChilds()->Clear();

    CXmlOutput xmlWriter;
    Check(xmlWriter.BeginDocument("CBW"));
    XmlOutputImp xml(&xmlWriter);
    CdbOutputer decoder(&xml, nullptr, nullptr, cdb.get(), length);
    decoder.Output(OUTPUT_MODE_XML, subclass);
    CMarkup parsed;
    Check(parsed.SetDocument(xmlWriter.GetMarkup().GetDocument()));
    return 0;
}
