// Checks shared by the mark-up writer's tests: a document built by edits must parse back to the very records
// the edits kept.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "app/devices/reports/Markup.h"

namespace markup_test {

inline std::string Text(const CMarkup& markup) {
    CString doc = markup.GetDocument();
    return std::string(doc.GetString(), static_cast<size_t>(doc.GetLength()));
}

inline ::testing::AssertionResult SameRecordsAsParsed(const CMarkup& built) {
    CMarkup parsed;
    if (!parsed.SetDocument(built.GetDocument()))
        return ::testing::AssertionFailure() << "parse failed: " << parsed.GetLastError().GetString();
    if (parsed.GetPositionCount() != built.GetPositionCount())
        return ::testing::AssertionFailure()
               << "records: parsed " << parsed.GetPositionCount() << ", built " << built.GetPositionCount();
    if (parsed.GetPosition(0).FirstChild != built.GetPosition(0).FirstChild)
        return ::testing::AssertionFailure() << "root record differs";
    for (int i = 1; i < built.GetPositionCount(); ++i) {
        const CMarkup::ElemPos& a = parsed.GetPosition(i);
        const CMarkup::ElemPos& b = built.GetPosition(i);
        if (a.StartTagBegin != b.StartTagBegin || a.StartTagEnd != b.StartTagEnd || a.EndTagBegin != b.EndTagBegin ||
            a.EndTagEnd != b.EndTagEnd || a.Parent != b.Parent || a.FirstChild != b.FirstChild ||
            a.NextSibling != b.NextSibling)
            return ::testing::AssertionFailure()
                   << "record " << i << ": parsed {" << a.StartTagBegin << "," << a.StartTagEnd << "," << a.EndTagBegin
                   << "," << a.EndTagEnd << "," << a.Parent << "," << a.FirstChild << "," << a.NextSibling
                   << "} built {" << b.StartTagBegin << "," << b.StartTagEnd << "," << b.EndTagBegin << ","
                   << b.EndTagEnd << "," << b.Parent << "," << b.FirstChild << "," << b.NextSibling << "}";
    }
    return ::testing::AssertionSuccess();
}

} // namespace markup_test
