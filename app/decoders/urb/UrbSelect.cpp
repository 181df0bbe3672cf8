// The decoders of SELECT_CONFIGURATION, SELECT_INTERFACE and the pipe requests, with the walk over the
// interface and pipe information the selections carry (in the 32-bit or the 64-bit layout of the captured
// system).
#include <cstdint>

#include "app/core/diagnostics/Trace.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/decoders/urb/UrbOutputer.h"
#include "common/ByteReader.h"
#include "common/RecordPayloads.h"
#include "usb.h"

namespace {

// The layout flag at head offset 2 that marks the 64-bit interface information.
constexpr BYTE kLayout64 = 1;
// The end mark of a configuration's entries carries the selected configuration's value this far in.
constexpr size_t kConfigurationValueOffset = 7;

// Where the pipe entries begin in an interface entry, and how long each is, by layout.
constexpr LONG kPipesOffset32 = offsetof(USBD_INTERFACE_INFORMATION32, Pipes);
constexpr LONG kPipesOffset64 = offsetof(USBD_INTERFACE_INFORMATION, Pipes);
constexpr LONG kNumberOfPipesEnd32 = offsetof(USBD_INTERFACE_INFORMATION32, NumberOfPipes) + sizeof(ULONG);
constexpr LONG kNumberOfPipesEnd64 = offsetof(USBD_INTERFACE_INFORMATION, NumberOfPipes) + sizeof(ULONG);
static_assert(kPipesOffset32 == 16 && kPipesOffset64 == 24 && sizeof(USBD_PIPE_INFORMATION32) == 20 &&
              sizeof(USBD_PIPE_INFORMATION) == 24);

// The interface walks trace under the decoder's own name, whichever file holds them.
#define WALK_TRACE(...) TracePrintf(TRACE_INFORMATION, TRACE_AREA_URB_DECODER, "UrbOutputer", __LINE__, __VA_ARGS__)

// The address of a field of the interface entry at `entry`, as the trace shows it: the entry may end before
// the field, so the address is counted, never formed as a pointer into the record.
const void* FieldAddress(const BYTE* entry, size_t offset) {
    return reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(entry) + offset);
}

// What the walk of a layout traces before it shows the entries: the layout's sizes and alignments, and where
// the first entry's pipe count and pipes stand.
template <class Interface, class Pipe>
void TraceLayout(const char* walk, const char* interfaceName, const char* pipeName, const BYTE* entry) {
    WALK_TRACE("--UrbOutputer::%s", walk);
    WALK_TRACE("sizeof(%s)=%d", interfaceName, static_cast<int>(sizeof(Interface)));
    WALK_TRACE("sizeof(%s)=%d", pipeName, static_cast<int>(sizeof(Pipe)));
    WALK_TRACE("__alignof(%s)=%d", interfaceName, static_cast<int>(alignof(Interface)));
    WALK_TRACE("__alignof(%s)=%d", pipeName, static_cast<int>(alignof(Pipe)));
    WALK_TRACE("&pInterface->NumberOfPipes = %p", FieldAddress(entry, offsetof(Interface, NumberOfPipes)));
    WALK_TRACE("&pInterface->Pipes = %p", FieldAddress(entry, offsetof(Interface, Pipes)));
}

} // namespace

void UrbOutputer::OutputSelectConfiguration(int mode, ULONG dataSize, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_SELECT_CONFIGURATION;
    fields.Open(FieldSection::Element, "URB-SelectConfiguration");
    InsertUrbHeaderFields(mode);
    ULONG64 descriptor = 0;
    const bool haveDescriptor = fields.Read(offsetof(Part, ConfigurationDescriptor), descriptor);
    if (!haveDescriptor) {
        fields.Field({"ConfigurationValue", "ConfigurationValue"}, kUnknownText);
    } else if (descriptor != 0) {
        // Step over the entries to their end mark; a walk that leaves the data finds no value.
        size_t offset = sizeof(Part);
        USHORT length = 0;
        while (m_Decode.ReadPayload(offset, length) && length != 0)
            offset += length;
        BYTE value = 0;
        const bool haveValue = length == 0 && m_Decode.ReadPayload(offset + kConfigurationValueOffset, value);
        fields.Field({"ConfigurationValue", "ConfigurationValue"}, fields.Number(FieldFormat::Hex2, value, haveValue));
    } else {
        // Unconfiguring: the grid media say so, the mark-up shows the value 0.
        fields.Field("ConfigurationValue", fields.Number(FieldFormat::Hex2, 0), nullptr, kXml);
        fields.Field("ConfigurationValue", "NONE", nullptr, kNotMarkup);
    }
    if (m_Decode.HasOutputData()) {
        InsertUrbStatus(mode);
        fields.ValueField({"ConfigurationHandle", "Configuration Handle"}, FieldFormat::Hex64,
                          offsetof(Part, ConfigurationHandle));
        if (haveDescriptor && descriptor != 0 && dataSize > sizeof(Part))
            InsertInterfaceAndPipeInfo(mode, sizeof(Part));
    }
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputSelectInterface(int mode, ULONG dataSize, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    using Part = URB_RECORD_SELECT_INTERFACE;
    fields.Open(FieldSection::Element, "URB-SelectInterface");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    fields.ValueField({"ConfigurationHandle", "Configuration Handle"}, FieldFormat::Hex64,
                      offsetof(Part, ConfigurationHandle));
    USHORT length = 0;
    const bool haveLength = m_Decode.ReadPayload(sizeof(Part), length);
    if (m_Decode.HasInputData()) {
        // An entry too short for its numbers names no interface.
        BYTE interfaceNumber = 0xFF;
        BYTE alternateSetting = 0xFF;
        if (haveLength && length > 3) {
            m_Decode.ReadPayload(sizeof(Part) + 2, interfaceNumber);
            m_Decode.ReadPayload(sizeof(Part) + 3, alternateSetting);
        }
        fields.Field({"InterfaceNumber", "InterfaceNumber"}, fields.Number(FieldFormat::Hex2, interfaceNumber));
        fields.Field({"AlternateSetting", "AlternateSetting"}, fields.Number(FieldFormat::Hex2, alternateSetting));
    } else if (m_Decode.HasOutputData() && haveLength && length != 0 && dataSize > sizeof(Part)) {
        BYTE layout = 0;
        m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, LayoutVersion), layout);
        WALK_TRACE(layout == kLayout64 ? "(x64) pInterface->Length = %d" : "(x86) pInterface->Length = %d",
                   static_cast<int>(length));
        InsertInterfaceAndPipeInfo(mode, sizeof(Part));
    }
    fields.Close(FieldSection::Element);
}

void UrbOutputer::OutputPipeRequest(int mode, ULONG, const BYTE*) {
    FieldWriter& fields = Fields(mode);
    fields.Open(FieldSection::Element, "URB-PipeRequest");
    InsertUrbHeaderFields(mode);
    InsertUrbStatus(mode);
    if (m_Decode.HasInputData())
        InsertPipeInformation(mode, offsetof(URB_RECORD_PIPE_REQUEST, Pipe));
    fields.Close(FieldSection::Element);
}

void UrbOutputer::InsertInterfaceAndPipeInfo(int mode, size_t offset) {
    FieldWriter& fields = Fields(mode);
    const size_t size = m_Decode.GetPayload().size();
    BYTE layout = 0;
    m_Decode.ReadPayload(offsetof(URB_RECORD_HEAD, LayoutVersion), layout);
    const bool wide = layout == kLayout64;
    if (wide)
        TraceLayout<USBD_INTERFACE_INFORMATION, USBD_PIPE_INFORMATION>(
            "InsertInterfaceAndPipeInfo64", "USBD_INTERFACE_INFORMATION", "USBD_PIPE_INFORMATION", PayloadAt(offset));
    else
        TraceLayout<USBD_INTERFACE_INFORMATION32, USBD_PIPE_INFORMATION32>(
            "InsertInterfaceAndPipeInfo32", "USBD_INTERFACE_INFORMATION32", "USBD_PIPE_INFORMATION32",
            PayloadAt(offset));
    fields.Open(FieldSection::Element, "InterfaceAndPipeInfo");
    USHORT length = 0;
    while (offset < size && m_Decode.ReadPayload(offset, length) && length >= 1) {
        FieldCursor cursor{PayloadAt(offset), static_cast<LONG>(size - offset), length};
        BYTE interfaceNumber = 0;
        m_Decode.ReadPayload(offset + 2, interfaceNumber);
        CString number;
        number.Format("%d", interfaceNumber);
        const CString title = "Interface-" + number;
        fields.OpenEntry({"UsbdInterfaceInformation", title}, "Interface", number, "USBD_INTERFACE_INFORMATION");
        InsertWordField(mode, cursor, "Length");
        InsertByteField(mode, cursor, "InterfaceNumber");
        InsertByteField(mode, cursor, "AlternateSetting");
        InsertClassCodes(mode, cursor);
        InsertByteField(mode, cursor, "Reserved");
        InsertHandle(mode, cursor, "InterfaceHandle", wide);
        const BYTE* pipesCount = cursor.p;
        const bool haveCount = cursor.dataLeft >= 4 && cursor.structureLeft >= 4;
        InsertDwordField(mode, cursor, "NumberOfPipes");
        const ULONG pipes = haveCount ? tdl::LoadLe<ULONG>(pipesCount) : 0;
        if (wide)
            ConsumeBytes(cursor, kPipesOffset64 - kNumberOfPipesEnd64);
        static_assert(kPipesOffset32 == kNumberOfPipesEnd32);
        for (ULONG i = 0; i < pipes && cursor.dataLeft > 0 && cursor.structureLeft > 0; ++i) {
            CString index;
            index.Format("%u", i);
            const CString pipeTitle = "Pipe-" + index;
            fields.OpenEntry({"UsbdPipeInformation", pipeTitle}, "Pipe", index, "USBD_PIPE_INFORMATION");
            InsertWordField(mode, cursor, "MaximumPacketSize");
            const BYTE address = cursor.dataLeft >= 1 && cursor.structureLeft >= 1 ? cursor.p[0] : 0;
            InsertEndpointAddress(mode, cursor, address);
            InsertByteField(mode, cursor, "Interval");
            InsertPipeType(mode, cursor, 4);
            InsertHandle(mode, cursor, "PipeHandle", wide);
            InsertDwordField(mode, cursor, "MaximumTransferSize");
            InsertDwordField(mode, cursor, "PipeFlags");
            fields.Close(FieldSection::Block);
        }
        fields.Close(FieldSection::Block);
        // The next entry starts where this one's Length ends, whatever the pipes used of it.
        offset += length;
    }
    fields.Close(FieldSection::Element);
}
