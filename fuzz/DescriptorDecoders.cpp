// Arbitrary bytes to a USB descriptor decoder or set walker in the three modes: the property grid of a pane,
// an XML document (which must parse again) and an HTML report. The input's first byte picks the decoder run
// (tests/support/DescriptorDecoders.h), so that an input costs one decoder's work and the fuzzer learns which
// bytes reach which decoder; the rest are the descriptor bytes, an exact-size heap copy, so AddressSanitizer
// reports any read past the count the decoder is given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// The HTML report goes where nothing is kept: the writer formats, buffers and writes it all the same, and a
// run neither makes a file anew for each input nor leaves one behind.
constexpr char kHtmlPath[] = "/dev/null";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const int run = data[0];
    ++data;
    --size;
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
        tdl::test::RunDescriptorDecoder(grid, OUTPUT_MODE_GRID, run, bytes, count);
    }
    pane->Category("URB")->GetChilds()->Clear();

    CXmlOutput xmlWriter;
    Check(xmlWriter.BeginDocument("Descriptors"));
    XmlOutputImp xml(&xmlWriter);
    tdl::test::RunDescriptorDecoder(xml, OUTPUT_MODE_XML, run, bytes, count);
    const CMarkup& markup = xmlWriter.GetMarkup();
    CMarkup parsed;
    Check(parsed.SetDocument(markup.GetDocument()));

    CHtmlOutput htmlWriter;
    Check(htmlWriter.OpenByName(kHtmlPath));
    HtmlOutputImp html(&htmlWriter);
    tdl::test::RunDescriptorDecoder(html, OUTPUT_MODE_HTML, run, bytes, count);
    return 0;
}
