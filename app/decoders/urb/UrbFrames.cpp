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
    using Part = URB_RECORD_GET_FRAME_LENGTH;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-GetFrameLength");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (CompletedWithoutError(m_Decode)) {
        HexField(mode, "Frame Length", "FrameLength", 8, offsetof(Part, FrameLength));
        HexField(mode, "Frame Number", "FrameNumber", 8, offsetof(Part, FrameNumber));
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputSetFrameLength(int mode, ULONG, const BYTE*) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-SetFrameLength");
    InsertUrbHeaderFields(mode);
    if (m_Decode.HasInputData())
        HexField(mode, "Frame Length Delta", "FrameLengthDelta", 8, offsetof(URB_RECORD_FRAME_PARAMETER, Parameter));
    InsertUrbStatus(mode);
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputGetFrameNumber(int mode, ULONG, const BYTE*) {
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-GetFrameNumber");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (CompletedWithoutError(m_Decode))
        HexField(mode, "Frame Number", "FrameNumber", 8, offsetof(URB_RECORD_FRAME_PARAMETER, Parameter));
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputPipeIoPolicy(int mode, ULONG, const BYTE*, int setPolicy) {
    using Part = URB_RECORD_PIPE_IO_POLICY;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-PipeIoPolicy");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    InsertPipeInformation(mode, offsetof(Part, Pipe));
    // SET carries its parameters on the request side, GET answers them on the completion side.
    const bool show = setPolicy ? m_Decode.HasInputData() : m_Decode.HasOutputData();
    if (show) {
        if (mode == OUTPUT_MODE_XML)
            m_pImp->BeginElement("UsbIoParameters");
        else
            m_pImp->BeginValueGroup("USB IO Parameters", "");
        HexField(mode, "UsbIoPriority", "UsbIoPriority", 8, offsetof(Part, Parameters));
        HexField(mode, "UsbMaxPendingIrps", "UsbMaxPendingIrps", 8, offsetof(Part, Parameters) + 4);
        if (!setPolicy)
            HexField(mode, "UsbMaxControllerTransfer", "UsbMaxControllerTransfer", 8, offsetof(Part, Parameters) + 8);
        if (mode == OUTPUT_MODE_XML)
            m_pImp->EndElement();
        else
            m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputOpenEndpoint(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_OPEN_ENDPOINT;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-OpenEndpoint");
    HexField(mode, "URB Length", "UrbSize", 4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->BeginValueGroup("Open Endpoint Request", "");
    HexField(mode, "ushort1", "ushort1", 4, offsetof(Part, Word24));
    HexField(mode, "Flags", "Flags", 4, offsetof(Part, Word26));
    // The record holds the descriptor's seven standard bytes whatever its own length byte claims.
    BYTE bLength = 0;
    if (Get(mode, offsetof(Part, EndpointDescriptor), bLength)) {
        const ULONG count = std::min({static_cast<ULONG>(bLength), kEndpointDescriptorSize,
                                      DataBytesAt(offsetof(Part, EndpointDescriptor), kEndpointDescriptorSize)});
        ULONG consumed = 0;
        const bool grid = mode != OUTPUT_MODE_XML;
        EndpointDescOutputer(m_pImp, m_pContext, PayloadAt(offsetof(Part, EndpointDescriptor)), count)
            .Output(mode, grid ? "Descriptor Type" : "EndpointDescriptor", grid ? "ENDPOINT" : "", consumed, false);
    }
    HexField(mode, "ulong3", "ulong3", 8, offsetof(Part, Ulong36));
    if (m_Decode.HasOutputData()) {
        HexField(mode, "HcdEndpoint", "HcdEndpoint", 16, offsetof(Part, Address40));
        HexField(mode, "ulong4", "ulong4", 8, offsetof(Part, Ulong48));
    }
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputCloseEndpoint(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_CLOSE_ENDPOINT;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-CloseEndpoint");
    HexField(mode, "URB Length", "UrbSize", 4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->BeginValueGroup("Close Endpoint Request", "");
    HexField(mode, "HcdEndpoint", "HcdEndpoint", 16, offsetof(Part, Parameter));
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}

void UrbOutputer::OutputGetEndpointState(int mode, ULONG, const BYTE*) {
    using Part = URB_RECORD_GET_ENDPOINT_STATE;
    if (mode == OUTPUT_MODE_XML)
        m_pImp->BeginElement("URB-GetEndpointState");
    HexField(mode, "URB Length", "UrbSize", 4, offsetof(Part, Length));
    InsertUrbStatus(mode);
    if (mode == OUTPUT_MODE_GRID)
        m_pImp->BeginValueGroup("Get Endpoint State Request", "");
    HexField(mode, "HcdEndpoint", "HcdEndpoint", 16, offsetof(Part, Parameter));
    if (m_Decode.HasOutputData())
        HexField(mode, "Flags", "Flags", 8, offsetof(Part, NextParameter));
    if (mode == OUTPUT_MODE_GRID) {
        m_pImp->ExpandCurrent();
        m_pImp->EndGroup();
    }
    if (mode == OUTPUT_MODE_XML)
        m_pImp->EndElement();
}
