// The XML back-end: the documents its operations build, what a refusal of the document leaves, and nothing
// from the operations of other media.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "EmitCalls.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/devices/MarkupRecords.h"

using markup_test::SameRecordsAsParsed;
using markup_test::Text;

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

// The document a run of operations builds inside a report's root element.
std::string Emit(const std::function<void(OutputerImp&)>& calls) {
    CXmlOutput writer;
    EXPECT_TRUE(writer.BeginDocument("Report"));
    XmlOutputImp out(&writer);
    calls(out);
    EXPECT_TRUE(SameRecordsAsParsed(writer.GetMarkup()));
    std::string text = Text(writer.GetMarkup());
    return text.compare(0, kDeclaration.size(), kDeclaration) == 0 ? text.substr(kDeclaration.size()) : text;
}

TEST(XmlOutputImpTest, OperationsBuildTheirElements) {
    struct Case {
        const char* what;
        std::function<void(OutputerImp&)> calls;
        const char* document;
    } cases[] = {
        {"section without attribute name is entered",
         [](OutputerImp& o) {
             o.BeginSection("Hub", "", "ignored");
             o.WriteValue("Ports", "4");
         },
         "<Report>\r\n<Hub>\r\n<Ports>4</Ports>\r\n</Hub>\r\n</Report>\r\n"},
        {"section with attribute",
         [](OutputerImp& o) {
             o.BeginSection("Port", "Number", "1");
             o.WriteValue("Status", "0103");
         },
         "<Report>\r\n<Port Number=\"1\">\r\n<Status>0103</Status>\r\n</Port>\r\n</Report>\r\n"},
        {"empty value gives an empty element", [](OutputerImp& o) { o.WriteValue("Serial", ""); },
         "<Report>\r\n<Serial/>\r\n</Report>\r\n"},
        {"record with two attributes holds what follows",
         [](OutputerImp& o) {
             o.AddElement("Record");
             o.AddAttribute("Number", "7");
             o.AddAttribute("Type", " URB");
             o.EnterRecord();
             o.WriteValue("Function", "00000009");
             o.EndElement();
             o.WriteValue("After", "x");
         },
         "<Report>\r\n<Record Number=\"7\" Type=\" URB\">\r\n<Function>00000009</Function>\r\n</Record>\r\n"
         "<After>x</After>\r\n</Report>\r\n"},
        {"end element returns to the element's level",
         [](OutputerImp& o) {
             o.BeginElement("Config");
             o.EndElement();
             o.WriteValue("Next", "1");
         },
         "<Report>\r\n<Config/>\r\n<Next>1</Next>\r\n</Report>\r\n"},
        {"element with attribute, value with attribute, texts escaped",
         [](OutputerImp& o) {
             o.BeginElementWithAttribute("Iface", "Class", "a\"b'c");
             o.WriteValueWithAttribute("bmAttributes", "a<b & c>d", "Description", "<Self Powered>");
             o.WriteValueWithAttribute("Empty", "", "Description", "none");
         },
         "<Report>\r\n<Iface Class=\"a&quot;b&apos;c\">\r\n"
         "<bmAttributes Description=\"&lt;Self Powered&gt;\">a&lt;b &amp; c&gt;d</bmAttributes>\r\n"
         "<Empty Description=\"none\"/>\r\n</Iface>\r\n</Report>\r\n"},
        {"an attribute replaces one of the same name",
         [](OutputerImp& o) {
             o.AddElement("E");
             o.AddAttribute("a", "1");
             o.AddAttribute("a", "2");
         },
         "<Report>\r\n<E a=\"2\"/>\r\n</Report>\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.document, Emit(c.calls)) << c.what;
}

// A refused element must not lend its attribute, or its enter, to the element current before it.
TEST(XmlOutputImpTest, WhatTheDocumentRefusesLeavesTheTextUnchanged) {
    const std::function<void(OutputerImp&)> refused[] = {
        [](OutputerImp& o) { o.AddElement("Second"); },
        [](OutputerImp& o) { o.BeginElement("Second"); },
        [](OutputerImp& o) { o.BeginSection("Second", "a", "1"); },
        [](OutputerImp& o) { o.BeginSection("Second", "", ""); },
        [](OutputerImp& o) { o.BeginElementWithAttribute("Second", "a", "1"); },
        [](OutputerImp& o) { o.WriteValue("Second", "v"); },
        [](OutputerImp& o) { o.WriteValueWithAttribute("Second", "v", "a", "1"); },
        [](OutputerImp& o) { o.EndElement(); },           // at the top level
        [](OutputerImp& o) { o.AddElement("bad name"); }, // no tag name
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
        CXmlOutput writer;
        ASSERT_TRUE(writer.BeginDocument("Report"));
        ASSERT_TRUE(writer.GetMarkup().LeaveElement()); // the root is current, at the top level
        XmlOutputImp out(&writer);
        std::string before = Text(writer.GetMarkup());
        refused[i](out);
        // Had the operation gone on, this value would now land inside the root or carry the attribute.
        out.AddAttribute("b", "2");
        out.WriteValue("Probe", "p");
        EXPECT_EQ(kDeclaration + "<Report/>\r\n", before) << i;
        EXPECT_EQ(kDeclaration + "<Report b=\"2\"/>\r\n", Text(writer.GetMarkup())) << i;
    }

    // An attribute with no current element: inside a fresh root nothing is current yet.
    CXmlOutput writer;
    ASSERT_TRUE(writer.BeginDocument("Report"));
    XmlOutputImp out(&writer);
    std::string before = Text(writer.GetMarkup());
    out.AddAttribute("a", "1");
    out.EnterRecord(); // nothing to enter either
    EXPECT_EQ(before, Text(writer.GetMarkup()));
    out.WriteValue("First", "1");
    EXPECT_EQ(kDeclaration + "<Report>\r\n<First>1</First>\r\n</Report>\r\n", Text(writer.GetMarkup()));
}

TEST(XmlOutputImpTest, OperationsOfOtherMediaChangeNothingAndTheValueColourIsZero) {
    for (const emit_test::EmitCall& call : emit_test::CallsOtherThan({6, 8, 9, 10, 11, 12, 31, 32, 34})) {
        CXmlOutput writer;
        ASSERT_TRUE(writer.BeginDocument("Report"));
        ASSERT_TRUE(writer.GetMarkup().AddElement("Current"));
        XmlOutputImp out(&writer);
        std::string before = Text(writer.GetMarkup());
        int parent = writer.GetMarkup().GetParentIndex();
        int current = writer.GetMarkup().GetCurrentIndex();
        call.call(out);
        EXPECT_EQ(before, Text(writer.GetMarkup())) << call.name;
        EXPECT_EQ(parent, writer.GetMarkup().GetParentIndex()) << call.name;
        EXPECT_EQ(current, writer.GetMarkup().GetCurrentIndex()) << call.name;
    }
    CXmlOutput writer;
    XmlOutputImp out(&writer);
    EXPECT_EQ(0u, out.GetValueColour());
}

} // namespace
