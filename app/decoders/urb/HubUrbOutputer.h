// HubUrbOutputer: the URB decoder of a hub. It is the decoder the selection builds for records of a hub
// stack. Besides what UrbOutputer shows, it decodes the hub class's feature selectors and status words: the
// hub status and change bits, a port's status and change bits (in the USB 2.0 layout, or the SuperSpeed one
// for a hub whose device returned a BOS descriptor) and a port's link error count.
//
// OutputPortStatusBits needs nothing but the back-end, so other decoders borrow it on a temporary object.
#pragma once

#include "app/decoders/urb/UrbOutputer.h"

class HubUrbOutputer : public UrbOutputer {
public:
    // Bytes the status decodes read from the start of the data stage.
    static constexpr ULONG kStatusSize = 4;
    static constexpr ULONG kErrorCountSize = 2;

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

    // How a status field's value is written.
    enum class BitFormat { Hex2, Hex4, Bit, Decimal };
    // One row of a status section: the bits (value >> shift) & mask, and the name its value may carry.
    struct BitRow {
        LPCSTR label;
        int shift;
        unsigned mask;
        BitFormat format;
        LPCSTR (*name)(unsigned value) = nullptr;
        LPCSTR attribute = "Name";
    };

private:
    // A field whose value has a name: "value (name)" in the grid, the value and a name attribute in mark-up.
    void NamedField(int mode, LPCSTR label, const CString& value, LPCSTR attribute, LPCSTR name);
    // One section over a status word, by its table of rows.
    template <size_t N>
    void OutputBitSection(int mode, LPCSTR caption, LPCSTR element, const BitRow (&rows)[N], USHORT value);
    // False, after a "Truncated" defect, when the data is shorter than `needed`.
    bool HasStatusBytes(int mode, ULONG length, ULONG needed);
    // Whether the record's hub shows its port status in the SuperSpeed layout.
    bool IsSuperSpeedHub() const;
};
