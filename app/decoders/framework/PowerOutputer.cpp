#include "app/decoders/framework/PowerOutputer.h"

#include <iterator>

#include "app/decoders/framework/FieldWriter.h"
#include "app/decoders/framework/IrpMinorCodes.h"

namespace {

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
    OutputRequestTitle(mode, "PWR", "Power Request", MinorFunctionName(&CLogRecordDecode::GetPowerMinorName));
    // A returned record tells only that the dispatch routine returned; its payload holds no parameters.
    if (m_Decode.HasTransferData())
        return;
    OutputPowerParameters(mode);
}

std::span<const PowerMinorCode> PowerOutputer::MinorCodes() {
    using enum CodeOffer;
    using P = PowerOutputer;
    static constexpr PowerMinorCode kCodes[] = {
        {TDL_IRP_MINOR(IRP_MN_WAIT_WAKE, Always), &P::OutputWaitWake},
        {TDL_IRP_MINOR(IRP_MN_POWER_SEQUENCE, Always), &P::OutputPowerSequence},
        {TDL_IRP_MINOR(IRP_MN_SET_POWER, Always), &P::OutputPowerState},
        {TDL_IRP_MINOR(IRP_MN_QUERY_POWER, Always), &P::OutputPowerState},
    };
    return kCodes;
}

namespace {

constexpr FieldDecl kWaitWakeFields[] = {FieldOf({"SystemWakePowerState", "SystemWake"}, FieldFormat::Short, 0)
                                             .Named("Description", FieldNameOf<PowerOutputer::SystemPowerStateName>)};
constexpr FieldDecl kSequenceFields[] = {FieldU32("SequenceD1", 0), FieldU32("SequenceD2", 4),
                                         FieldU32("SequenceD3", 8)};
constexpr FieldDecl kDeviceState = FieldOf({"DevicePowerState", "PowerState"}, FieldFormat::Short, 4)
                                       .Named("Description", FieldNameOf<PowerOutputer::DevicePowerStateName>);
constexpr FieldDecl kSystemState = FieldOf({"SystemPowerState", "PowerState"}, FieldFormat::Short, 4)
                                       .Named("Description", FieldNameOf<PowerOutputer::SystemPowerStateName>);
constexpr FieldDecl kAction =
    FieldOf("PowerAction", FieldFormat::Short, 8).Named("Description", FieldNameOf<PowerOutputer::PowerActionName>);

} // namespace

void PowerOutputer::OutputPowerParameters(int mode) {
    if (const PowerMinorCode* code = FindCodeRow(MinorCodes(), m_Decode.GetFunctionWord()))
        (this->*code->operation)(mode);
}

void PowerOutputer::OutputWaitWake(int mode) {
    if (!m_Decode.HasInputData())
        return;
    FieldWriter fields(*this, mode, kWaitWakeSize);
    fields.Open(FieldSection::Block, {"Power-WaitWake", "Wait Wake Power State"});
    fields.PayloadFields(kWaitWakeFields);
    fields.Close(FieldSection::Block);
}

void PowerOutputer::OutputPowerSequence(int mode) {
    // The counts are the driver's answer: only the completed record of a request that succeeded has them.
    if (!m_Decode.HasOutputData() || static_cast<LONG>(m_Decode.GetStatus()) < 0)
        return;
    FieldWriter fields(*this, mode, kThreeWordsSize);
    fields.Open(FieldSection::Block, {"Power-Sequence", "Power Sequence Parameters"});
    fields.PayloadFields(kSequenceFields);
    fields.Close(FieldSection::Block);
}

void PowerOutputer::OutputPowerState(int mode) {
    if (!m_Decode.HasInputData())
        return;
    const bool set = m_Decode.GetFunctionWord() == IRP_MN_SET_POWER;
    FieldWriter fields(*this, mode, kThreeWordsSize);
    fields.Open(FieldSection::Block, {"Power-State", set ? "Set Power Parameters" : "Query Power Parameters"});
    ULONG type = 0;
    if (fields.Read(0, type)) {
        fields.Field("PowerType", type != 0 ? "Device" : "System");
        fields.PayloadField(type != 0 ? kDeviceState : kSystemState);
    } else {
        fields.Field("PowerType", kUnknownText);
        fields.Field("PowerState", kUnknownText);
    }
    fields.PayloadField(kAction);
    fields.Close(FieldSection::Block);
}
