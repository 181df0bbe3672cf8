#include "app/decoders/framework/PowerOutputer.h"

#include <iterator>

#include "app/decoders/framework/OutputerImp.h"

namespace {

// Minor functions whose payload is decoded.
constexpr ULONG kWaitWake = 0;
constexpr ULONG kPowerSequence = 1;
constexpr ULONG kSetPower = 2;
constexpr ULONG kQueryPower = 3;

// Payload bytes the capture driver writes for each: one word for wait-wake, three for the others.
constexpr size_t kWaitWakeSize = 4;
constexpr size_t kThreeWordsSize = 12;

constexpr const char* kSystemStates[] = {
    "System Unspecified",   "System Working (S0)",   "System Sleeping (S1)", "System Sleeping (S2)",
    "System Sleeping (S3)", "System Hibernate (S4)", "System Shutdown (S5)",
};
constexpr const char* kDeviceStates[] = {
    "Device Unspecified", "Device Working (D0)", "Device Sleeping (D1)", "Device Sleeping (D2)", "Device Sleeping (D3)",
};
constexpr const char* kPowerActions[] = {
    "None", "Reserved", "Sleep", "Hibernate", "Shutdown", "ShutdownReset", "ShutdownOff", "WarmEject",
};

} // namespace

PowerOutputer::~PowerOutputer() = default;

CString PowerOutputer::SystemPowerStateName(ULONG state) {
    if (state < std::size(kSystemStates))
        return kSystemStates[state];
    CString name;
    name.Format("System State (S%d)", static_cast<int>(state));
    return name;
}

CString PowerOutputer::DevicePowerStateName(ULONG state) {
    if (state < std::size(kDeviceStates))
        return kDeviceStates[state];
    CString name;
    name.Format("Device State (D%d)", static_cast<int>(state));
    return name;
}

CString PowerOutputer::PowerActionName(ULONG action) {
    return action < std::size(kPowerActions) ? kPowerActions[action] : "Unknown";
}

void PowerOutputer::OutputFunctionCode() {
    OutputMinorFunctionCode(MinorFunctionName(&CLogRecordDecode::GetPowerMinorName));
}

void PowerOutputer::OutputIrpFunction() {
    OutputMinorFunction("IRP_MJ_POWER (0x16)");
}

void PowerOutputer::OutputKindTitle(int mode) {
    if (mode == OUTPUT_MODE_GRID)
        OutputRequestName("PWR", "Power Request", MinorFunctionName(&CLogRecordDecode::GetPowerMinorName));
    // A returned record tells only that the dispatch routine returned; its payload holds no parameters.
    if (m_Decode.HasTransferData())
        return;
    OutputPowerParameters(mode);
}

void PowerOutputer::OutputPowerParameters(int mode) {
    const ULONG minor = m_Decode.GetFunctionWord();
    if (minor == kWaitWake) {
        if (!m_Decode.HasInputData())
            return;
        BeginParameters(mode, "Wait Wake Power State", "Power-WaitWake");
        OutputMeaningField(mode, "SystemWake", "SystemWakePowerState", 0, kWaitWakeSize, SystemPowerStateName);
    } else if (minor == kPowerSequence) {
        // The counts are the driver's answer: only the completed record has them.
        if (!m_Decode.HasOutputData())
            return;
        BeginParameters(mode, "Power Sequence Parameters", "Power-Sequence");
        OutputCountField(mode, "SequenceD1", 0, kThreeWordsSize);
        OutputCountField(mode, "SequenceD2", 4, kThreeWordsSize);
        OutputCountField(mode, "SequenceD3", 8, kThreeWordsSize);
    } else if (minor == kSetPower || minor == kQueryPower) {
        if (!m_Decode.HasInputData())
            return;
        BeginParameters(mode, minor == kSetPower ? "Set Power Parameters" : "Query Power Parameters", "Power-State");
        ULONG type = 0;
        if (ReadPayloadField(mode, 0, type, kThreeWordsSize)) {
            const char* typeText = type != 0 ? "Device" : "System";
            if (mode == OUTPUT_MODE_XML)
                m_pImp->WriteValue("PowerType", typeText);
            else
                m_pImp->AddItem("PowerType", typeText, nullptr);
            if (type != 0)
                OutputMeaningField(mode, "PowerState", "DevicePowerState", 4, kThreeWordsSize, DevicePowerStateName);
            else
                OutputMeaningField(mode, "PowerState", "SystemPowerState", 4, kThreeWordsSize, SystemPowerStateName);
        } else {
            OutputMissingField(mode, "PowerType", "PowerType");
            OutputMissingField(mode, "PowerState", "PowerState");
        }
        OutputMeaningField(mode, "PowerAction", "PowerAction", 8, kThreeWordsSize, PowerActionName);
    } else {
        return;
    }
    EndParameters(mode);
}

void PowerOutputer::BeginParameters(int mode, LPCSTR title, LPCSTR element) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement(element);
    else
        m_pImp->BeginValueGroup(title, "");
}

void PowerOutputer::EndParameters(int mode) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
    else
        m_pImp->ExpandCurrent();
    m_pImp->EndGroup();
}

void PowerOutputer::OutputMeaningField(int mode, LPCSTR caption, LPCSTR element, size_t offset, size_t needed,
                                       ValueName name) {
    ULONG value = 0;
    if (!ReadPayloadField(mode, offset, value, needed)) {
        OutputMissingField(mode, caption, element);
        return;
    }
    CString text;
    text.Format(mode == OUTPUT_MODE_GRID ? "0x%x" : "%08x", value);
    const CString meaning = name(value);
    if (mode == OUTPUT_MODE_XML) {
        m_pImp->WriteValueWithAttribute(element, text, "Description", meaning);
    } else {
        CString combined;
        combined.Format("%s (%s)", text.GetString(), meaning.GetString());
        m_pImp->AddItem(caption, combined, nullptr);
    }
}

void PowerOutputer::OutputCountField(int mode, LPCSTR caption, size_t offset, size_t needed) {
    ULONG value = 0;
    if (!ReadPayloadField(mode, offset, value, needed)) {
        OutputMissingField(mode, caption, caption);
        return;
    }
    CString text;
    text.Format(mode == OUTPUT_MODE_GRID ? "0x%08x" : "%08x", value);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->WriteValue(caption, text);
    else
        m_pImp->AddItem(caption, text, nullptr);
}

void PowerOutputer::OutputMissingField(int mode, LPCSTR caption, LPCSTR element) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->WriteValue(element, kUnknownText);
    else
        m_pImp->AddItem(caption, kUnknownText, nullptr);
}
