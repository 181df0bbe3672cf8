// The decoders of the frame requests, the pipe I/O policy requests and the host controller's endpoint
// requests.
#include <algorithm>

#include "app/decoders/descriptors/EndpointDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/RecordPayloads.h"

namespace {

// The bytes of an endpoint descriptor's standard fields.
constexpr ULONG kEndpointDescriptorSize = 7;

bool CompletedWithoutError(const CLogRecordDecode& decode) {
    ULONG status = 0;
    return decode.HasOutputData() && decode.ReadPayload(offsetof(URB_RECORD_HEAD, UsbdStatus), status) &&
           static_cast<LONG>(status) >= 0;
}

} // namespace

void UrbOutputer::OutputGetFrameLength(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_GET_FRAME_LENGTH;
    fields.Open(FieldSection::Element, "URB-GetFrameLength");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (CompletedWithoutError(m_Decode)) {
        fields.ValueField({"FrameLength", "Frame Length"}, FieldFormat::Hex8, offsetof(Part, FrameLength));
        fields.ValueField({"FrameNumber", "Frame Number"}, FieldFormat::Hex8, offsetof(Part, FrameNumber));
    }
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputSetFrameLength(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Element, "URB-SetFrameLength");
    InsertUrbHeaderFields(mode);
    if (m_Decode.HasInputData())
        fields.ValueField({"FrameLengthDelta", "Frame Length Delta"}, FieldFormat::Hex8,
                          offsetof(URB_RECORD_FRAME_PARAMETER, Parameter));
    InsertUrbStatus(mode);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputGetFrameNumber(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Element, "URB-GetFrameNumber");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (CompletedWithoutError(m_Decode))
        fields.ValueField({"FrameNumber", "Frame Number"}, FieldFormat::Hex8,
                          offsetof(URB_RECORD_FRAME_PARAMETER, Parameter));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputPipeIoPolicy(int mode, ULONG, const BYTE*, int setPolicy) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_PIPE_IO_POLICY;
    fields.Open(FieldSection::Element, "URB-PipeIoPolicy");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    InsertPipeInformation(mode, offsetof(Part, Pipe));
    // SET carries its parameters on the request side, GET answers them on the completion side.
    const bool show = setPolicy ? m_Decode.HasInputData() : m_Decode.HasOutputData();
    if (show) {
        fields.Open(FieldSection::Block, {"UsbIoParameters", "USB IO Parameters"}, "");
        fields.ValueField({"UsbIoPriority", "UsbIoPriority"}, FieldFormat::Hex8, offsetof(Part, Parameters));
        fields.ValueField({"UsbMaxPendingIrps", "UsbMaxPendingIrps"}, FieldFormat::Hex8,
                          offsetof(Part, Parameters) + 4);
        if (!setPolicy)
            fields.ValueField({"UsbMaxControllerTransfer", "UsbMaxControllerTransfer"}, FieldFormat::Hex8,
                              offsetof(Part, Parameters) + 8);
        fields.Close(FieldSection::Block);
    }
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputOpenEndpoint(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_OPEN_ENDPOINT;
    fields.Open(FieldSection::Element, "URB-OpenEndpoint");
    fields.ValueField({"UrbSize", "URB Length"}, FieldFormat::Hex4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    fields.Open(FieldSection::GridGroup, "Open Endpoint Request");
    fields.ValueField({"ushort1", "ushort1"}, FieldFormat::Hex4, offsetof(Part, Word24));
    fields.ValueField({"Flags", "Flags"}, FieldFormat::Hex4, offsetof(Part, Word26));
    // The record holds the descriptor's seven standard bytes whatever its own length byte claims.
    BYTE bLength = 0;
    if (fields.Read(offsetof(Part, EndpointDescriptor), bLength)) {
        const ULONG count = std::min({static_cast<ULONG>(bLength), kEndpointDescriptorSize,
                                      DataBytesAt(offsetof(Part, EndpointDescriptor), kEndpointDescriptorSize)});
        ULONG consumed = 0;
        EndpointDescOutputer(m_pImp, m_pContext, PayloadAt(offsetof(Part, EndpointDescriptor)), count)
            .Output(mode, FieldLabels("EndpointDescriptor", "Descriptor Type").For(mode),
                    FieldLabels("", "ENDPOINT").For(mode), consumed, false);
    }
    fields.ValueField({"ulong3", "ulong3"}, FieldFormat::Hex8, offsetof(Part, Ulong36));
    if (m_Decode.HasOutputData()) {
        fields.ValueField({"HcdEndpoint", "HcdEndpoint"}, FieldFormat::Hex64, offsetof(Part, Address40));
        fields.ValueField({"ulong4", "ulong4"}, FieldFormat::Hex8, offsetof(Part, Ulong48));
    }
    fields.Close(FieldSection::GridGroup);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputCloseEndpoint(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_CLOSE_ENDPOINT;
    fields.Open(FieldSection::Element, "URB-CloseEndpoint");
    fields.ValueField({"UrbSize", "URB Length"}, FieldFormat::Hex4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    fields.Open(FieldSection::GridGroup, "Close Endpoint Request");
    fields.ValueField({"HcdEndpoint", "HcdEndpoint"}, FieldFormat::Hex64, offsetof(Part, Parameter));
    fields.Close(FieldSection::GridGroup);
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputGetEndpointState(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_GET_ENDPOINT_STATE;
    fields.Open(FieldSection::Element, "URB-GetEndpointState");
    fields.ValueField({"UrbSize", "URB Length"}, FieldFormat::Hex4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    fields.Open(FieldSection::GridGroup, "Get Endpoint State Request");
    fields.ValueField({"HcdEndpoint", "HcdEndpoint"}, FieldFormat::Hex64, offsetof(Part, Parameter));
    if (m_Decode.HasOutputData())
        fields.ValueField({"Flags", "Flags"}, FieldFormat::Hex8, offsetof(Part, NextParameter));
    fields.Close(FieldSection::GridGroup);
    fields.Close(FieldSection::Element);
}
