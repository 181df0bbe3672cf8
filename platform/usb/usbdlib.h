// Descriptor parsing routines of the USB driver library. They walk with UsbDescriptorWalker, so a
// malformed descriptor ends the search instead of leading past the buffer.
#pragma once

#include "usbdi.h"

// One entry of the interface list a client passes when it builds a SELECT_CONFIGURATION request; the
// list ends with an entry whose InterfaceDescriptor is null.
typedef struct _USBD_INTERFACE_LIST_ENTRY {
    PUSB_INTERFACE_DESCRIPTOR InterfaceDescriptor;
    PUSBD_INTERFACE_INFORMATION Interface;
} USBD_INTERFACE_LIST_ENTRY, *PUSBD_INTERFACE_LIST_ENTRY;

// Allocates (from non-paged pool) and fills a SELECT_CONFIGURATION request for the interfaces of the
// list: one interface information entry per list entry, sized for the interface's bNumEndpoints pipes,
// with its InterfaceNumber and AlternateSetting and default pipe settings; each list entry's Interface is
// pointed at its entry. Null when the pool fails or the request would not fit a URB's 16-bit Length. The
// caller frees the URB with ExFreePool.
PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList);

// The first descriptor of DescriptorType at or after StartPosition within TotalLength bytes of
// DescriptorBuffer; null when there is none before the end or before a malformed descriptor, or when
// StartPosition lies outside the buffer.
PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID DescriptorBuffer, ULONG TotalLength, PVOID StartPosition,
                                             LONG DescriptorType);

// The first interface descriptor at or after StartPosition within the configuration's wTotalLength
// bytes that matches every criterion not given as -1. The caller vouches that wTotalLength bytes are
// there. Interface descriptors shorter than their nine standard bytes never match.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                              PVOID StartPosition, LONG InterfaceNumber,
                                                              LONG AlternateSetting, LONG InterfaceClass,
                                                              LONG InterfaceSubClass, LONG InterfaceProtocol);

// The older form: from the start of the configuration, by interface number and alternate setting.
PUSB_INTERFACE_DESCRIPTOR USBD_ParseConfigurationDescriptor(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                                            UCHAR InterfaceNumber, UCHAR AlternateSetting);
