// Arbitrary bytes to every USB descriptor decoder and both set walkers in the three modes: the property grid
// of a pane, an XML document (which must parse again) and an HTML report. The bytes are an exact-size heap
// copy, so AddressSanitizer reports any read past the count the decoders are given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/Markup.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/support/DescriptorDecoders.h"
#include "tests/support/TestGridPane.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

const std::string& HtmlPath() {
    static const std::string path = "/tmp/tdl_fuzz_descriptors_" + std::to_string(::getpid()) + ".htm";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size == 0 ? 1 : size]);
    if (size)
        std::memcpy(copy.get(), data, size);
    const BYTE* bytes = size == 0 ? nullptr : copy.get();
    const ULONG count = static_cast<ULONG>(size);

    // One pane for the run, emptied after each input as the properties pane empties it between devices.
    static tdl::test::TestGridPane* pane = new tdl::test::TestGridPane;
    {
        GridOutputImp grid(pane);
        grid.ShowCategory("URB");
        tdl::test::RunEveryDescriptorDecoder(grid, OUTPUT_MODE_GRID, bytes, count);
    }
    pane->Category("URB")->GetChilds()->Clear();

    CXmlOutput xmlWriter;
    Check(xmlWriter.BeginDocument("Descriptors"));
    XmlOutputImp xml(&xmlWriter);
    tdl::test::RunEveryDescriptorDecoder(xml, OUTPUT_MODE_XML, bytes, count);
    const CMarkup& markup = xmlWriter.GetMarkup();
    CMarkup parsed;
    Check(parsed.SetDocument(markup.GetDocument()));

    CHtmlOutput htmlWriter;
    Check(htmlWriter.OpenByName(HtmlPath().c_str()));
    HtmlOutputImp html(&htmlWriter);
    tdl::test::RunEveryDescriptorDecoder(html, OUTPUT_MODE_HTML, bytes, count);
    return 0;
}
