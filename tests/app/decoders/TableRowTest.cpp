// A new field and a new request code each take one table row: a descriptor table of this test's own decodes
// its new field in the Log Details pane, the XML report and the HTML report; an IOCTL family table of this
// test's own (one code, whose operation walks a field table) decodes its code, and the record list and the
// filter page read the code's names from the same row.
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/decoders/descriptors/DescOutputer.h"
#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/GridOutputImp.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/decoders/ioctl/IoctlFamilyOutputer.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/XmlOutput.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/TestGridPane.h"

namespace {

// The code this test's family adds, as a published header would define it.
#define IOCTL_WIDGET_GET_SETTINGS 0x000B01F3

// The settings the code returns: two fields of a fixed layout, the second with a name for its value.
CString RateName(const FieldEnv&, ULONG64 rate) {
    return rate == 125 ? "Full" : "Other";
}
constexpr FieldDecl kSettings[] = {
    FieldU16("wWidth", 0),
    FieldOf({"bRate", "Report Rate", "Report&nbsp;Rate"}, FieldFormat::Hex2, 2, 1).Named("Name", RateName),
};

class WidgetIoctlOutputer : public IoctlFamilyOutputer {
public:
    WidgetIoctlOutputer(OutputerImp* imp, const _LOGHDR* record)
        : IoctlFamilyOutputer(imp, nullptr, record, Family()) {}

    static const IoctlFamily& Family() {
        using enum CodeOffer;
        static constexpr IoctlCode kCodes[] = {
            TDL_IOCTL_CODE(IOCTL_WIDGET_GET_SETTINGS, nullptr, Windows7, &WidgetIoctlOutputer::OutputGetSettings),
        };
        static constexpr IoctlFamily kFamily{"HID", "HID Ioctl", "WIDGET_", "WIDGET_IOCTL_%X",
                                             false, "Widget ",   kCodes};
        return kFamily;
    }

    void OutputGetSettings(int mode, ULONG, const BYTE*) {
        FieldWriter fields(*this, mode, 3);
        fields.Open(FieldSection::Block, {"Widget-Settings", "Widget Settings"});
        fields.PayloadFields(kSettings);
        fields.Close(FieldSection::Block);
    }
};

std::vector<uint8_t> SettingsRecord() {
    const std::vector<uint8_t> settings = {0x40, 0x01, 125};
    return tdl::test::RecordBuilder(LogTag::hidC).Function(IOCTL_WIDGET_GET_SETTINGS).Part1(settings).Build();
}

std::string Text(const CString& text) {
    return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

// A test-only descriptor: its head, and the one field this test adds to the table.
constexpr FieldDecl kWidgetDescriptor[] = {
    FieldU8("bLength"),
    FieldU8({"bDescriptorType", nullptr, "Descriptor&nbsp;Type"}, 1).Named("Name", "WIDGET"),
    FieldU16({"bcdWidget", "Widget Release", "Widget&nbsp;Release"}, 2)
        .Named("Version", DescOutputer::VersionFieldText),
};

class WidgetDescOutputer : public DescOutputer {
public:
    using DescOutputer::DescOutputer;
    void Output(int mode) { OutputLayout(mode, "WIDGET", "", DescLayout::Section, kWidgetDescriptor); }
};

// What a decoding writes in each medium: the grid's items under `category`, the XML document, the HTML file.
struct Media {
    std::string grid;
    std::string xml;
    std::string html;
};

template <class Decode> Media DecodeInEveryMedium(const char* category, Decode decode) {
    Media media;
    {
        tdl::test::TestGridPane pane;
        if (pane.Category(category) == nullptr)
            pane.Grid().AddCategory(category)->SetHidden(TRUE);
        GridOutputImp grid(&pane);
        grid.ShowCategory(category);
        decode(grid, OUTPUT_MODE_GRID);
        media.grid = Text(CGkPropertyGrid::DumpItems(pane.Category(category)->GetChilds()));
    }
    {
        CXmlOutput writer;
        writer.BeginDocument("Records");
        XmlOutputImp xml(&writer);
        decode(xml, OUTPUT_MODE_XML);
        media.xml = Text(writer.GetMarkup().GetDocument());
    }
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("tdl_table_row_" + std::to_string(::getpid()) + ".htm");
    {
        CHtmlOutput writer;
        if (writer.OpenByName(path.string().c_str())) {
            HtmlOutputImp html(&writer);
            decode(html, OUTPUT_MODE_HTML);
        }
    }
    std::stringstream read;
    read << std::ifstream(path).rdbuf();
    std::filesystem::remove(path);
    media.html = read.str();
    return media;
}

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

TEST(TableRowTest, OneFieldRowDecodesInEveryMedium) {
    const BYTE bytes[] = {4, 0x41, 0x10, 0x02};
    const Media media = DecodeInEveryMedium("URB", [&](OutputerImp& out, int mode) {
        WidgetDescOutputer(&out, nullptr, bytes, sizeof bytes).Output(mode);
    });
    EXPECT_TRUE(Has(media.grid, "Widget Release = 0x0210 (2.1)")) << media.grid;
    EXPECT_TRUE(Has(media.xml, "<bcdWidget Version=\"2.1\">0210</bcdWidget>")) << media.xml;
    EXPECT_TRUE(Has(media.html, "Widget&nbsp;Release")) << media.html;
    EXPECT_TRUE(Has(media.html, "0x0210 (2.1)")) << media.html;

    // Cut before the new field: the row shows the missing value in every medium.
    const Media cut = DecodeInEveryMedium(
        "URB", [&](OutputerImp& out, int mode) { WidgetDescOutputer(&out, nullptr, bytes, 3).Output(mode); });
    EXPECT_TRUE(Has(cut.grid, "Widget Release = ???")) << cut.grid;
    EXPECT_TRUE(Has(cut.xml, "<bcdWidget>?\?\?</bcdWidget>")) << cut.xml;
    EXPECT_TRUE(Has(cut.html, "???")) << cut.html;
}

TEST(TableRowTest, OneCodeRowDecodesAndNamesTheCodeEverywhere) {
    const std::vector<uint8_t> record = SettingsRecord();
    const auto* header = reinterpret_cast<const _LOGHDR*>(record.data());
    const IoctlFamily& family = WidgetIoctlOutputer::Family();

    // The record list's name and the filter page's text and offer come from the row.
    EXPECT_STREQ("GET_SETTINGS", IoctlListName(family, IOCTL_WIDGET_GET_SETTINGS));
    EXPECT_EQ(CodeOffer::Windows7, family.codes[0].row.offer);
    EXPECT_EQ(nullptr, IoctlListName(family, IOCTL_WIDGET_GET_SETTINGS + 4));

    // The pane and the XML report name the code and show its fields; the HTML report's record of an IOCTL
    // is its header, with the code.
    const Media media = DecodeInEveryMedium("HID", [&](OutputerImp& out, int mode) {
        WidgetIoctlOutputer decoder(&out, header);
        if (mode == OUTPUT_MODE_GRID)
            decoder.OutputKindTitle(mode);
        else
            decoder.OutputMarkupRecord(mode);
    });
    EXPECT_TRUE(Has(media.grid, "HID Ioctl = IOCTL_WIDGET_GET_SETTINGS")) << media.grid;
    EXPECT_TRUE(Has(media.grid, "Widget Settings")) << media.grid;
    EXPECT_TRUE(Has(media.grid, "wWidth = 0x0140")) << media.grid;
    EXPECT_TRUE(Has(media.grid, "Report Rate = 0x7d (Full)")) << media.grid;
    EXPECT_TRUE(Has(media.xml, "Name=\"IOCTL_WIDGET_GET_SETTINGS\"")) << media.xml;
    EXPECT_TRUE(Has(media.xml, "<Widget-Settings>")) << media.xml;
    EXPECT_TRUE(Has(media.xml, "<wWidth>0140</wWidth>")) << media.xml;
    EXPECT_TRUE(Has(media.xml, "<bRate Name=\"Full\">7d</bRate>")) << media.xml;
    EXPECT_TRUE(Has(media.html, "000b01f3")) << media.html;
}

} // namespace
