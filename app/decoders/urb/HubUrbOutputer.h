// HubUrbOutputer: the URB decoder of a hub. It is the decoder the selection builds for records of a hub
// stack. Hub class requests (class-device and class-other URBs, and control transfers whose setup packet has
// the class type) are shown under their own names with the hub class meaning of wValue and wIndex, for the hub
// itself or for one of its ports or transaction translators; the data stage shows the buffer and decodes the
// hub descriptor, the hub status, a port's status (in the USB 2.0 layout, or the SuperSpeed one for a hub whose
// device returned a BOS descriptor) and a port's link error count. Every other URB is shown as UrbOutputer
// shows it.
//
// OutputPortStatusBits needs nothing but the back-end, so other decoders borrow it on a temporary object.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class HubUrbOutputer : public UrbOutputer {
public:
    // Bytes the status decodes read from the start of the data stage.
    static constexpr ULONG kStatusSize = 4;
    static constexpr ULONG kErrorCountSize = 2;

    // The class requests to the hub and to its ports.
    static std::span<const ClassRequestEntry> HubRequests();
    static std::span<const ClassRequestEntry> PortRequests();

    HubUrbOutputer(OutputerImp* pImp, CUSBLog* pDocument, const _LOGHDR* pRecord);
    ~HubUrbOutputer() override;

    // The feature selector of CLEAR_FEATURE and SET_FEATURE in wValue; a port's selector with the wIndex
    // fields that go with it.
    void OutputHubFeatureSelector(int mode, USHORT wValue);
    void OutputPortFeatureSelector(int mode, USHORT wValue, USHORT wIndex);

    // One section each, from a status word already read.
    void OutputPortStatusBits(int mode, USHORT wPortStatus);
    void OutputPortChangeBits(int mode, USHORT wPortChange);
    void OutputSsPortStatusBits(int mode, USHORT wPortStatus);
    void OutputSsPortChangeBits(int mode, USHORT wPortChange);

    // The sections of a GET_STATUS or GET_PORT_ERR_COUNT data stage. Data too short for its words shows one
    // "Truncated" defect instead of the sections.
    void OutputHubStatus(int mode, ULONG length, const BYTE* data);
    void OutputPortStatus(int mode, ULONG length, const BYTE* data);
    void OutputPortLinkErrorCount(int mode, ULONG length, const BYTE* data);

    // The hub descriptor a GET_DESCRIPTOR or SET_DESCRIPTOR carries, by its type byte (0x29 or 0: USB 2.0,
    // 0x2A: SuperSpeed); any other type, or data without a type byte, shows nothing.
    void OutputHubDescriptor(int mode, ULONG length, const BYTE* data);

protected:
    // The port driver completes class requests as CONTROL_TRANSFER too: those are this class's as well.
    void OutputControlTransfer(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputControlTransferEx(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassDevice(int mode, ULONG dataSize, const BYTE* pPart) override;
    void OutputClassOther(int mode, ULONG dataSize, const BYTE* pPart) override;

private:
    // A control transfer of either function: a hub class request, or the plain decoder's rows.
    void OutputControlRequest(int mode, ULONG dataSize, const BYTE* pPart);
    // A class-device (to the hub) or class-other (to a port) URB.
    void OutputClassRequestUrb(int mode, BYTE recipient, ULONG dataSize, const BYTE* pPart);
    // The setup-stage section of a request to the hub or to a port; it stays open for the data stage.
    void OutputHubRequest(int mode, const ClassRequest& request);
    void OutputPortRequest(int mode, const ClassRequest& request);
    // The data bytes, the decode the request's flag asks for, and the section closed.
    void OutputDataStage(int mode, const ClassRequest& request);
    void OutputTransferBuffer(int mode, int kind, const ClassRequest& request);
    // Whether the record's hub shows its port status in the SuperSpeed layout.
    bool IsSuperSpeedHub() const;

    // What the setup stage found the data stage to hold.
    BYTE m_DataIsHubDescriptor = 0;
    BYTE m_DataIsHubStatus = 0;
    BYTE m_DataIsPortStatus = 0;
    BYTE m_DataIsPortErrorCount = 0;
};
