#include "app/core/settings/AppSettings.h"

#include "app/core/diagnostics/Trace.h"

IMPLEMENT_SERIAL(CAppSettings, CObject, VERSIONABLE_SCHEMA | CAppSettings::CurrentSchema)

namespace {

constexpr DWORD kSizeOfCode[] = {8, 64, 65536, 262144, 524288, 786432, 1048576};
static_assert(sizeof kSizeOfCode / sizeof kSizeOfCode[0] == SIZE_CODE_LAST - SIZE_CODE_FIRST + 1);

// The first schemas whose layout carries a field.
constexpr UINT kSchemaBootSwitches = 7; // EnableMiniportHook, CaptureHubInterface, CaptureUsbportHook
constexpr UINT kSchemaContinuous = 5;
constexpr UINT kSchemaBackground = 6;

void Store(CArchive& ar, bool value) {
    ar << static_cast<BYTE>(value ? 1 : 0);
}

void Load(CArchive& ar, bool& value) {
    BYTE stored = 0;
    ar >> stored;
    value = stored != 0;
}

} // namespace

DWORD SizeCodeOfBytes(DWORD dwBytes) {
    for (DWORD code = SIZE_CODE_FIRST; code <= SIZE_CODE_LAST; ++code) {
        if (kSizeOfCode[code - SIZE_CODE_FIRST] == dwBytes) {
            return code;
        }
    }
    return SIZE_CODE_FIRST;
}

DWORD BytesOfSizeCode(DWORD dwCode) {
    if (dwCode < SIZE_CODE_FIRST || dwCode > SIZE_CODE_LAST) {
        return kSizeOfCode[0];
    }
    return kSizeOfCode[dwCode - SIZE_CODE_FIRST];
}

CAppSettings::CAppSettings() : CAppSettings(CurrentSchema) {}

CAppSettings::CAppSettings(UINT nSchema)
    : CaptureOnceOnBoot(false), EnableMiniportHook(false), MemlogFlags(0), AutoEnable(false), CaptureBulk(false),
      BulkMaxSize(0), CaptureCtrl(false), CtrlMaxSize(0), CaptureIsoch(false), IsochMaxSize(0), CaptureUrbs(false),
      CaptureHubInterface(false), CaptureUsbportHook(false), CaptureUsbIntern(false), CaptureHubIoctl(false),
      CaptureHcdIoctl(false), CaptureHidIoctl(false), CaptureHidIntern(false), CapturePnp(false), CapturePower(false),
      MaxLogBuffer(DefaultMaxLogBuffer), DetailsFontSize(0), HideDTOnLogging(false), ContinuousLogging(false),
      BackgroundLogging(false), AutoCloseProgress(false), IndependentHtmlHelp(false), CheckForUpdate(false),
      m_nSchema(nSchema) {}

CAppSettings::~CAppSettings() = default;

void CAppSettings::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAppSettings::Serialize (storing)");
        Store(ar, CaptureOnceOnBoot);
        Store(ar, AutoEnable);
        Store(ar, CaptureBulk);
        ar << BulkMaxSize;
        Store(ar, CaptureCtrl);
        ar << CtrlMaxSize;
        Store(ar, CaptureIsoch);
        ar << IsochMaxSize;
        Store(ar, CaptureUrbs);
        // This program always stores the current layout.
        Store(ar, EnableMiniportHook);
        Store(ar, CaptureHubInterface);
        Store(ar, CaptureUsbportHook);
        for (bool value : {CaptureUsbIntern, CaptureHubIoctl, CaptureHcdIoctl, CaptureHidIoctl, CaptureHidIntern,
                           CapturePnp, CapturePower}) {
            Store(ar, value);
        }
        ar << MaxLogBuffer << DetailsFontSize;
        Store(ar, HideDTOnLogging);
        Store(ar, ContinuousLogging);
        Store(ar, BackgroundLogging);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAppSettings::Serialize (loading)");
    Load(ar, CaptureOnceOnBoot);
    Load(ar, AutoEnable);
    Load(ar, CaptureBulk);
    ar >> BulkMaxSize;
    Load(ar, CaptureCtrl);
    ar >> CtrlMaxSize;
    Load(ar, CaptureIsoch);
    ar >> IsochMaxSize;
    Load(ar, CaptureUrbs);
    EnableMiniportHook = CaptureHubInterface = CaptureUsbportHook = false;
    if (m_nSchema >= kSchemaBootSwitches) {
        Load(ar, EnableMiniportHook);
        Load(ar, CaptureHubInterface);
        Load(ar, CaptureUsbportHook);
    }
    for (bool* value : {&CaptureUsbIntern, &CaptureHubIoctl, &CaptureHcdIoctl, &CaptureHidIoctl, &CaptureHidIntern,
                        &CapturePnp, &CapturePower}) {
        Load(ar, *value);
    }
    ar >> MaxLogBuffer >> DetailsFontSize;
    Load(ar, HideDTOnLogging);
    ContinuousLogging = BackgroundLogging = false;
    if (m_nSchema >= kSchemaContinuous) {
        Load(ar, ContinuousLogging);
    }
    if (m_nSchema >= kSchemaBackground) {
        Load(ar, BackgroundLogging);
    }
}
