// How every part of the analyzer traces: the levels, one flag per area, and the macro that passes the calling
// source file and line. A trace costs a counter increment and a few tests while no session listens.
#pragma once

#include <windows.h>

class CEventTrace;

enum TraceLevel : UCHAR {
    TRACE_ERROR = 2,
    TRACE_WARNING = 3,
    TRACE_INFORMATION = 4,
    TRACE_VERBOSE = 5,
};

// A session selects areas by its enable flags.
enum TraceArea : ULONG {
    // clang-format off
    TRACE_AREA_APP = 0x1,                     // start-up and exit of the application object
    TRACE_AREA_DRIVER_INFO = 0x2,             // driver information, driver settings, diagnostics
    TRACE_AREA_REGISTRY_VERSION = 0x10,       // registry version check
    TRACE_AREA_SETTINGS = 0x11,               // settings load and save
    TRACE_AREA_DOCUMENT = 0x20,               // capture document, pane pointers
    TRACE_AREA_DRIVER_IO = 0x40,              // driver client, device, node requests, stack tree
    TRACE_AREA_DEVICES = 0x80,                // host controllers, device classes, hubs, hub ports
    TRACE_AREA_DRIVERS = 0x100,               // attached drivers
    TRACE_AREA_MAIN_FRAME = 0x200,
    TRACE_AREA_LOG_LIST = 0x400,              // log list view, its columns and header
    TRACE_AREA_PANES = 0x800,                 // main frame panes
    TRACE_AREA_DATA_BAR = 0x2000,
    TRACE_AREA_DEVICES_TAB = 0x4000,
    TRACE_AREA_STACK_LISTS = 0x8000,
    TRACE_AREA_CHANGE_LOG = 0x10000,
    TRACE_AREA_SERIALIZE = 0x20000,           // serialisation and post-loading of every persistent class
    TRACE_AREA_OBJECT_HASH = 0x40000,         // device and driver object hash tables
    TRACE_AREA_URB_DECODER = 0x80000,
    TRACE_AREA_INTERNAL_IOCTL = 0x100000,     // internal USB IOCTL decoder
    TRACE_AREA_STACK_INSPECTOR = 0x200000,
    TRACE_AREA_DEVICE_TREE = 0x400000,        // device tree tab and device tree bar
    TRACE_AREA_DEVICE_PROPERTIES = 0x800000,
    TRACE_AREA_STACK_TREE = 0x2000000,        // stack tree, stacks tab
    TRACE_AREA_DRIVERS_TAB = 0x4000000,
    TRACE_AREA_ROOT_HUB = 0x8000000,          // root hub of a host controller
    TRACE_AREA_ARRIVAL = 0x10000000,          // arrival and removal
    TRACE_AREA_ARRIVAL_PROCESSING = 0x20000000,
    // clang-format on
};

// The provider every trace goes through: the one installed (the application object installs its member for its
// lifetime), else a process-wide one that registers itself on first use, so a class traces, and its tests see
// the events, without an application object.
CEventTrace& TheEventTrace();
// Installs `provider` (null goes back to the process-wide one) and returns the one installed before. The
// process-wide provider unregisters while another is installed, so a session enables only the one in use.
// The owner uninstalls its provider before destroying it, once no other thread traces.
CEventTrace* SetEventTraceProvider(CEventTrace* provider);

// printf-style with the platform's conversions (%ld is 32 bits, %I64x, %p as 16 digits); the text is cut at
// 511 characters. Nothing is formatted unless a session would receive the event.
BOOL TracePrintf(UCHAR level, ULONG area, const char* sourceFile, int line, const char* format, ...);
// The same formatting, written to the debugger output.
void DebugPrintf(const char* format, ...);

#define TDL_TRACE(level, area, ...) TracePrintf((level), (area), __FILE__, __LINE__, __VA_ARGS__)
