// Capture of Plug and Play requests (IRP_MJ_PNP), the family CaptureFamilyPnp (Capture.h), and the tree
// upkeep that rides on them:
//
//   START_DEVICE           "pnpI", "pnpR", "pnpC"; once it has completed successfully the stack is walked
//                          again (StackTreeDeviceStarted): device objects new to it get their nodes ("vedA"),
//                          late-signed ones are classified, the hook decision (with the excluded device) and
//                          the capture state (AutoEnable, a boot capture's selection) are applied, and the
//                          started device object is reported again ("vedA").
//   REMOVE_DEVICE          "pnpI", "pnpR"; the device object leaves the tree ("vedR"), with its whole stack
//                          and what lies below when it is the physical device object, and every device object
//                          that goes loses its saved selection under ActiveNodes.
//   QUERY_DEVICE_RELATIONS BusRelations: the children reported enter the tree under the reporting stack;
//                          TargetDeviceRelation is noted in the event ring.
//   QUERY_INTERFACE        the hub bus interface: HubBusInterfaceQueried (HubBusInterfaceHook.h).
//   QUERY_ID               the device ID and the compatible IDs go to the tree.
//
// Everything a request teaches is read in the completion routine, at every hooked device object it passes:
// after the hooked driver's dispatch routine returns the request may be finished and freed (or still
// pending), so nothing is read from it there. The tree's work needs PASSIVE_LEVEL; a completion that runs
// higher (Plug and Play requests complete at PASSIVE_LEVEL in practice) is noted in the event ring and
// teaches nothing.
//
// Locks: none of its own (the tree's and the logs', through their routines).
#pragma once

#include "ntddk.h"

// Longest ID taken from a QUERY_ID answer, and most children taken from one bus-relations report.
constexpr ULONG PNP_ID_MAX_CHARS = 512;
constexpr ULONG PNP_RELATIONS_MAX = 256;
