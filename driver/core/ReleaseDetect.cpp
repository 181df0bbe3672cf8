// Windows release detection: which of the known releases the system is, from the version routines the
// kernel exports (looked up by name, since the oldest kernels lack them).
//
// Locks: none; runs once at entry, at PASSIVE_LEVEL.
#include "driver/core/Driver.h"

namespace {

typedef NTSTATUS (*PFN_RTL_VERIFY_VERSION_INFO)(PRTL_OSVERSIONINFOEXW, ULONG, ULONGLONG);
typedef NTSTATUS (*PFN_RTL_GET_VERSION)(PRTL_OSVERSIONINFOW);
typedef ULONGLONG (*PFN_VER_SET_CONDITION_MASK)(ULONGLONG, ULONG, UCHAR);

struct VersionRoutines {
    PFN_RTL_VERIFY_VERSION_INFO verifyVersionInfo;
    PFN_RTL_GET_VERSION getVersion;
    PFN_VER_SET_CONDITION_MASK setConditionMask;
};

PVOID SystemRoutine(PCWSTR name) {
    UNICODE_STRING routineName;
    RtlInitUnicodeString(&routineName, name);
    return MmGetSystemRoutineAddress(&routineName);
}

constexpr USHORT ANY_SERVICE_PACK = 0xFFFF;

// True when the system is exactly `major`.`minor` (and, unless ANY_SERVICE_PACK, that service pack).
BOOLEAN VersionIs(const VersionRoutines& routines, ULONG major, ULONG minor, USHORT servicePackMajor) {
    RTL_OSVERSIONINFOEXW info;
    RtlZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    ULONG typeMask = VER_MAJORVERSION | VER_MINORVERSION;
    ULONGLONG conditions = routines.setConditionMask(0, VER_MAJORVERSION, VER_EQUAL);
    conditions = routines.setConditionMask(conditions, VER_MINORVERSION, VER_EQUAL);
    if (servicePackMajor != ANY_SERVICE_PACK) {
        info.wServicePackMajor = servicePackMajor;
        typeMask |= VER_SERVICEPACKMAJOR;
        conditions = routines.setConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_EQUAL);
    }
    return routines.verifyVersionInfo(&info, typeMask, conditions) == STATUS_SUCCESS;
}

void ReleaseSet(PBOOLEAN flag, ULONG tag) {
    *flag = TRUE;
    MemlogWrite(tag, 0, 0);
}

} // namespace

void ReleaseDetect(PWINDOWS_RELEASE release) {
    RtlZeroMemory(release, sizeof *release);
    VersionRoutines routines;
    routines.verifyVersionInfo = reinterpret_cast<PFN_RTL_VERIFY_VERSION_INFO>(SystemRoutine(u"RtlVerifyVersionInfo"));
    routines.getVersion = reinterpret_cast<PFN_RTL_GET_VERSION>(SystemRoutine(u"RtlGetVersion"));
    routines.setConditionMask = reinterpret_cast<PFN_VER_SET_CONDITION_MASK>(SystemRoutine(u"VerSetConditionMask"));
    // Without any one of them no test can be made: such a kernel is Windows 2000's.
    if (routines.verifyVersionInfo == nullptr || routines.getVersion == nullptr ||
        routines.setConditionMask == nullptr) {
        ReleaseSet(&release->w2k, FourCC("_w2k"));
        return;
    }

    if (VersionIs(routines, 5, 1, ANY_SERVICE_PACK)) {
        ReleaseSet(&release->wxp, FourCC("_wxp"));
        if (VersionIs(routines, 5, 1, 3)) {
            ReleaseSet(&release->wxp3, FourCC("wxp3"));
        }
    } else if (VersionIs(routines, 5, 2, ANY_SERVICE_PACK)) {
        ReleaseSet(&release->w2k3, FourCC("w2k3"));
    } else if (VersionIs(routines, 6, 0, ANY_SERVICE_PACK)) {
        ReleaseSet(&release->wlh, FourCC("_wlh"));
        if (VersionIs(routines, 6, 0, 1)) {
            ReleaseSet(&release->wlh1, FourCC("wlh1"));
        }
        if (VersionIs(routines, 6, 0, 2)) {
            ReleaseSet(&release->wlh2, FourCC("wlh2"));
        }
    } else if (VersionIs(routines, 6, 1, ANY_SERVICE_PACK)) {
        ReleaseSet(&release->win7, FourCC("win7"));
    } else if (VersionIs(routines, 6, 2, ANY_SERVICE_PACK)) {
        ReleaseSet(&release->win8, FourCC("win8"));
    } else {
        // A release this driver does not know: the device-extension layouts are unknown, so the
        // recognition of host controllers and hubs by their extensions stays off.
        MemlogWrite(FourCC("win?"), 0, 0);
    }
}
