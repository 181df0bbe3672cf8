// The USB driver interface for client drivers: the URB formats of usb.h, the sizes of variable-length
// URBs and the routines that fill the common URBs.
#pragma once

#include "usb.h"

#define USBDI_VERSION 0x00000600
#define USB_HCD_CAPS_SUPPORTS_RT_THREADS 0x00000001

// Size of an interface information entry with numEndpoints pipe entries.
#define GET_USBD_INTERFACE_SIZE(numEndpoints)                                                                          \
    ((ULONG)(FIELD_OFFSET(USBD_INTERFACE_INFORMATION, Pipes) + (numEndpoints) * sizeof(USBD_PIPE_INFORMATION)))

// Size of a SELECT_CONFIGURATION URB for totalInterfaces interfaces with totalPipes pipes among them.
#define GET_SELECT_CONFIGURATION_REQUEST_SIZE(totalInterfaces, totalPipes)                                             \
    ((ULONG)(FIELD_OFFSET(struct _URB_SELECT_CONFIGURATION, Interface) +                                               \
             (totalInterfaces)*FIELD_OFFSET(USBD_INTERFACE_INFORMATION, Pipes) +                                       \
             (totalPipes) * sizeof(USBD_PIPE_INFORMATION)))

// Size of a SELECT_INTERFACE URB whose interface has totalPipes pipes.
#define GET_SELECT_INTERFACE_REQUEST_SIZE(totalPipes)                                                                  \
    ((ULONG)(FIELD_OFFSET(struct _URB_SELECT_INTERFACE, Interface) + GET_USBD_INTERFACE_SIZE(totalPipes)))

// Size of an ISOCH_TRANSFER URB with nPackets packet descriptors.
#define GET_ISO_URB_SIZE(nPackets)                                                                                     \
    ((ULONG)(FIELD_OFFSET(struct _URB_ISOCH_TRANSFER, IsoPacket) + (nPackets) * sizeof(USBD_ISO_PACKET_DESCRIPTOR)))

// Fillers of the common URBs. Each sets the header and the request's fields and leaves the rest
// of the URB as it was; callers zero the URB first.

inline void UsbBuildInterruptOrBulkTransferRequest(PURB urb, USHORT length, USBD_PIPE_HANDLE pipeHandle,
                                                   PVOID transferBuffer, PMDL transferBufferMDL,
                                                   ULONG transferBufferLength, ULONG transferFlags, PURB link) {
    urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    urb->UrbHeader.Length = length;
    auto& r = urb->UrbBulkOrInterruptTransfer;
    r.PipeHandle = pipeHandle;
    r.TransferBufferLength = transferBufferLength;
    r.TransferBufferMDL = transferBufferMDL;
    r.TransferBuffer = transferBuffer;
    r.TransferFlags = transferFlags;
    r.UrbLink = link;
}

// GET_DESCRIPTOR_FROM_DEVICE; callers of the endpoint and interface forms change Function afterwards.
inline void UsbBuildGetDescriptorRequest(PURB urb, USHORT length, UCHAR descriptorType, UCHAR descriptorIndex,
                                         USHORT languageId, PVOID transferBuffer, PMDL transferBufferMDL,
                                         ULONG transferBufferLength, PURB link) {
    urb->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    urb->UrbHeader.Length = length;
    auto& r = urb->UrbControlDescriptorRequest;
    r.TransferBufferLength = transferBufferLength;
    r.TransferBufferMDL = transferBufferMDL;
    r.TransferBuffer = transferBuffer;
    r.DescriptorType = descriptorType;
    r.Index = descriptorIndex;
    r.LanguageId = languageId;
    r.UrbLink = link;
}

// GET_STATUS_FROM_*: op is the function code; the status word is two bytes.
inline void UsbBuildGetStatusRequest(PURB urb, USHORT op, USHORT index, PVOID transferBuffer, PMDL transferBufferMDL,
                                     PURB link) {
    urb->UrbHeader.Function = op;
    urb->UrbHeader.Length = sizeof(struct _URB_CONTROL_GET_STATUS_REQUEST);
    auto& r = urb->UrbControlGetStatusRequest;
    r.TransferBufferLength = sizeof(USHORT);
    r.TransferBufferMDL = transferBufferMDL;
    r.TransferBuffer = transferBuffer;
    r.Index = index;
    r.UrbLink = link;
}

// SET_FEATURE_TO_* and CLEAR_FEATURE_TO_*: op is the function code.
inline void UsbBuildFeatureRequest(PURB urb, USHORT op, USHORT featureSelector, USHORT index, PURB link) {
    urb->UrbHeader.Function = op;
    urb->UrbHeader.Length = sizeof(struct _URB_CONTROL_FEATURE_REQUEST);
    auto& r = urb->UrbControlFeatureRequest;
    r.FeatureSelector = featureSelector;
    r.Index = index;
    r.UrbLink = link;
}

// The caller then fills each interface entry's Length, InterfaceNumber and AlternateSetting (and the
// pipes' MaximumTransferSize and PipeFlags).
inline void UsbBuildSelectConfigurationRequest(PURB urb, USHORT length,
                                               PUSB_CONFIGURATION_DESCRIPTOR configurationDescriptor) {
    urb->UrbHeader.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    urb->UrbHeader.Length = length;
    urb->UrbSelectConfiguration.ConfigurationDescriptor = configurationDescriptor;
}

inline void UsbBuildSelectInterfaceRequest(PURB urb, USHORT length, USBD_CONFIGURATION_HANDLE configurationHandle,
                                           UCHAR interfaceNumber, UCHAR alternateSetting) {
    urb->UrbHeader.Function = URB_FUNCTION_SELECT_INTERFACE;
    urb->UrbHeader.Length = length;
    auto& r = urb->UrbSelectInterface;
    r.ConfigurationHandle = configurationHandle;
    r.Interface.Length = (USHORT)(length - FIELD_OFFSET(struct _URB_SELECT_INTERFACE, Interface));
    r.Interface.InterfaceNumber = interfaceNumber;
    r.Interface.AlternateSetting = alternateSetting;
}

// VENDOR_* and CLASS_*: cmd is the function code; reservedBits go to RequestTypeReservedBits.
inline void UsbBuildVendorRequest(PURB urb, USHORT cmd, USHORT length, ULONG transferFlags, UCHAR reservedBits,
                                  UCHAR request, USHORT value, USHORT index, PVOID transferBuffer,
                                  PMDL transferBufferMDL, ULONG transferBufferLength, PURB link) {
    urb->UrbHeader.Function = cmd;
    urb->UrbHeader.Length = length;
    auto& r = urb->UrbControlVendorClassRequest;
    r.TransferBufferLength = transferBufferLength;
    r.TransferBufferMDL = transferBufferMDL;
    r.TransferBuffer = transferBuffer;
    r.RequestTypeReservedBits = reservedBits;
    r.Request = request;
    r.Value = value;
    r.Index = index;
    r.TransferFlags = transferFlags;
    r.UrbLink = link;
}

inline void UsbBuildOsFeatureDescriptorRequest(PURB urb, USHORT length, UCHAR interfaceNumber,
                                               USHORT msFeatureDescriptorIndex, PVOID transferBuffer,
                                               PMDL transferBufferMDL, ULONG transferBufferLength, PURB link) {
    urb->UrbHeader.Function = URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR;
    urb->UrbHeader.Length = length;
    auto& r = urb->UrbOSFeatureDescriptorRequest;
    r.TransferBufferLength = transferBufferLength;
    r.TransferBufferMDL = transferBufferMDL;
    r.TransferBuffer = transferBuffer;
    r.InterfaceNumber = interfaceNumber;
    r.MS_FeatureDescriptorIndex = msFeatureDescriptorIndex;
    r.UrbLink = link;
}
