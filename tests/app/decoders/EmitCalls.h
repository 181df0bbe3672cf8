// The 35 emit operations in slot order, each with sample arguments, so that a back-end's test can run every
// operation its medium does not implement and see that nothing changed.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/decoders/framework/OutputerImp.h"

namespace emit_test {

struct EmitCall {
    int slot;
    const char* name;
    std::function<void(OutputerImp&)> call;
};

inline const std::vector<EmitCall>& AllEmitCalls() {
    static const std::vector<EmitCall> calls = {
        {1, "BeginIndent", [](OutputerImp& o) { o.BeginIndent(); }},
        {2, "EndIndent", [](OutputerImp& o) { o.EndIndent(); }},
        {3, "WriteSubHeading", [](OutputerImp& o) { o.WriteSubHeading("Title"); }},
        {4, "BeginTable", [](OutputerImp& o) { o.BeginTable(true); }},
        {5, "EndTable", [](OutputerImp& o) { o.EndTable(false); }},
        {6, "EnterRecord", [](OutputerImp& o) { o.EnterRecord(); }},
        {7, "WriteHeaderRow", [](OutputerImp& o) { o.WriteHeaderRow("a", "b"); }},
        {8, "BeginSection", [](OutputerImp& o) { o.BeginSection("Log Entry", "Record", "7"); }},
        {9, "BeginElement", [](OutputerImp& o) { o.BeginElement("Section"); }},
        {10, "BeginElementWithAttribute", [](OutputerImp& o) { o.BeginElementWithAttribute("Section", "a", "1"); }},
        {11, "AddElement", [](OutputerImp& o) { o.AddElement("Element"); }},
        {12, "AddAttribute", [](OutputerImp& o) { o.AddAttribute("a", "1"); }},
        {13, "ShowCategoryById", [](OutputerImp& o) { o.ShowCategoryById(77, "Renamed"); }},
        {14, "ShowCategory", [](OutputerImp& o) { o.ShowCategory("Log Entry"); }},
        {15, "HideCategory", [](OutputerImp& o) { o.HideCategory("Log Entry"); }},
        {16, "SetItemValueById", [](OutputerImp& o) { o.SetItemValueById(5000, "v"); }},
        {17, "SetItemValue", [](OutputerImp& o) { o.SetItemValue("Record", "v"); }},
        {18, "SetItemValueColour", [](OutputerImp& o) { o.SetItemValueColour("Record", "v", 255); }},
        {19, "GetValueColour", [](OutputerImp& o) { o.GetValueColour(); }},
        {20, "HideItem", [](OutputerImp& o) { o.HideItem("Record"); }},
        {21, "SetItemDescription", [](OutputerImp& o) { o.SetItemDescription("Record", "d"); }},
        {22, "AddDescribedItem", [](OutputerImp& o) { o.AddDescribedItem("c", "v", "d", true); }},
        {23, "BeginValueGroup", [](OutputerImp& o) { o.BeginValueGroup("c", "v"); }},
        {24, "BeginGroup", [](OutputerImp& o) { o.BeginGroup("c", "v"); }},
        {25, "BeginCategory", [](OutputerImp& o) { o.BeginCategory("c"); }},
        {26, "AddDataBufferItem", [](OutputerImp& o) { o.AddDataBufferItem("Data"); }},
        {27, "AddItem", [](OutputerImp& o) { o.AddItem("c", "v", "d"); }},
        {28, "AddReadOnlyItem", [](OutputerImp& o) { o.AddReadOnlyItem("c", "v"); }},
        {29, "ExpandCurrent", [](OutputerImp& o) { o.ExpandCurrent(); }},
        {30, "EndGroup", [](OutputerImp& o) { o.EndGroup(); }},
        {31, "EndElement", [](OutputerImp& o) { o.EndElement(); }},
        {32, "WriteValue", [](OutputerImp& o) { o.WriteValue("Name", "v"); }},
        {33, "WriteMeaningValue", [](OutputerImp& o) { o.WriteMeaningValue("Name", "v", "m"); }},
        {34, "WriteValueWithAttribute", [](OutputerImp& o) { o.WriteValueWithAttribute("Name", "v", "a", "m"); }},
        {35, "WriteValueMeaning", [](OutputerImp& o) { o.WriteValueMeaning("Name", "v", "m"); }},
    };
    return calls;
}

// The calls whose slot is not in `implemented`.
inline std::vector<EmitCall> CallsOtherThan(const std::set<int>& implemented) {
    std::vector<EmitCall> others;
    for (const EmitCall& call : AllEmitCalls()) {
        if (implemented.count(call.slot) == 0)
            others.push_back(call);
    }
    return others;
}

} // namespace emit_test
