// The XML report's writer: the document it begins, the bytes it writes (UTF-8 from the program's 8-bit text),
// failed writes, and random edit sequences whose text parses back to the same records and is well-formed XML.
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "MarkupRecords.h"
#include "ReportFileFixture.h"
#include "app/devices/reports/XmlOutput.h"

using markup_test::SameRecordsAsParsed;
using markup_test::Text;

namespace {

class XmlOutputTest : public markup_test::ReportFileTest {};

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

TEST_F(XmlOutputTest, BeginDocumentThenWriteDocumentWritesTheWholeText) {
    CXmlOutput out;
    EXPECT_EQ("", Text(out.GetMarkup()));
    ASSERT_TRUE(out.OpenByName(PathOf("report.xml").c_str()));
    ASSERT_TRUE(out.BeginDocument("Tindaloft-DeviceReport"));
    EXPECT_EQ(1, out.GetMarkup().GetParentIndex()); // inside the root
    ASSERT_TRUE(out.GetMarkup().AddElement("SystemName", "HOST"));
    EXPECT_EQ("", Contents("report.xml")); // nothing goes out before the document is complete
    ASSERT_TRUE(out.WriteDocument());
    out.Close();
    EXPECT_EQ(kDeclaration + "<Tindaloft-DeviceReport>\r\n<SystemName>HOST</SystemName>\r\n"
                             "</Tindaloft-DeviceReport>\r\n",
              Contents("report.xml"));
    EXPECT_FALSE(out.HasWriteError());

    // Beginning again starts a new document.
    ASSERT_TRUE(out.BeginDocument("Other"));
    EXPECT_EQ(kDeclaration + "<Other/>\r\n", Text(out.GetMarkup()));
}

TEST_F(XmlOutputTest, EightBitTextReachesTheFileAsUtf8) {
    {
        CXmlOutput out;
        ASSERT_TRUE(out.OpenByName(PathOf("report.xml").c_str()));
        ASSERT_TRUE(out.BeginDocument("R"));
        ASSERT_TRUE(out.GetMarkup().AddElement("V", "Caf\xE9 \x80 \x93q\x94"));
        ASSERT_TRUE(out.GetMarkup().SetAttribute(out.GetMarkup().GetCurrentIndex(), "A", "\xFC"));
        // The document itself stays in the program's 8-bit text.
        EXPECT_NE(std::string::npos, Text(out.GetMarkup()).find("Caf\xE9"));
        ASSERT_TRUE(out.WriteDocument());
    }
    EXPECT_EQ(kDeclaration +
                  "<R>\r\n<V A=\"\xC3\xBC\">Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D</V>\r\n</R>\r\n",
              Contents("report.xml"));
}

TEST_F(XmlOutputTest, FailedWriteIsCaughtAndRemembered) {
    CXmlOutput out;
    ASSERT_TRUE(out.OpenByName("/dev/full"));
    ASSERT_TRUE(out.BeginDocument("R"));
    EXPECT_FALSE(out.WriteDocument());
    EXPECT_TRUE(out.HasWriteError());
    EXPECT_FALSE(out.WriteString("more"));
    EXPECT_TRUE(out.HasWriteError());

    CXmlOutput unopened;
    EXPECT_FALSE(unopened.OpenByName(PathOf("missing/report.xml").c_str()));
    ASSERT_TRUE(unopened.BeginDocument("R"));
    EXPECT_FALSE(unopened.WriteDocument());
    EXPECT_TRUE(unopened.HasWriteError());
}

// --- random edit sequences ----------------------------------------------------------------------------------

class RandomDocument {
public:
    explicit RandomDocument(unsigned seed) : m_rng(seed) {}

    std::string Name() {
        static const char kFirst[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
        static const char kRest[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";
        std::string name(1, kFirst[Pick(sizeof kFirst - 1)]);
        for (int n = Pick(4); n > 0; --n)
            name += kRest[Pick(sizeof kRest - 1)];
        return name;
    }

    // The five mark-up characters, letters, blanks, bytes 0x80-0xFF and control bytes (never NUL).
    std::string Value() {
        std::string value;
        for (int n = Pick(10); n > 0; --n) {
            switch (Pick(5)) {
            case 0: value += "<>&'\""[Pick(5)]; break;
            case 1: value += static_cast<char>(0x80 + Pick(0x80)); break;
            case 2: value += static_cast<char>(1 + Pick(0x1F)); break;
            case 3: value += ' '; break;
            default: value += static_cast<char>('a' + Pick(26)); break;
            }
        }
        return value;
    }

    int Pick(size_t n) { return static_cast<int>(std::uniform_int_distribution<size_t>(0, n - 1)(m_rng)); }

private:
    std::mt19937 m_rng;
};

bool HaveXmllint() {
    return std::system("command -v xmllint >/dev/null 2>&1") == 0;
}

TEST_F(XmlOutputTest, RandomEditsParseBackToTheSameRecordsAndAreWellFormed) {
    const bool lint = HaveXmllint();
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        RandomDocument random(seed);
        CXmlOutput out;
        ASSERT_TRUE(out.BeginDocument(random.Name().c_str()));
        CMarkup& markup = out.GetMarkup();
        for (int step = 0; step < 80; ++step) {
            switch (random.Pick(7)) {
            case 0:
            case 1:
            case 2: {
                std::string value = random.Value();
                markup.AddElement(random.Name().c_str(), random.Pick(3) == 0 ? nullptr : value.c_str());
                break;
            }
            case 3: markup.EnterElement(); break;
            case 4: markup.LeaveElement(); break;
            default:
                markup.SetAttribute(markup.GetCurrentIndex(), random.Name().substr(0, 2).c_str(),
                                    random.Value().c_str());
                break;
            }
        }
        ASSERT_TRUE(SameRecordsAsParsed(markup)) << Text(markup);

        std::string path = PathOf("random.xml");
        ASSERT_TRUE(out.OpenByName(path.c_str()));
        ASSERT_TRUE(out.WriteDocument());
        out.Close();
        if (lint) {
            std::string command = "xmllint --noout '" + path + "' 2>&1";
            ASSERT_EQ(0, std::system(command.c_str())) << Text(markup);
        }
    }
    if (!lint)
        GTEST_SKIP() << "xmllint (libxml2-utils) is not installed: the well-formedness check was skipped";
}

} // namespace
