#include "NtVersion.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "NtText.h"
#include "NtVersionControl.h"

namespace {

std::atomic<nt::version::Release> g_release{nt::version::Release::Windows7};
ULONG g_safeBootMode = 0;

struct RoutineTable {
    std::mutex lock;
    std::map<std::u16string, PVOID, std::less<>> routines;
};

void AddBuiltIns(RoutineTable& t) {
    t.routines[u"RtlGetVersion"] = reinterpret_cast<PVOID>(&RtlGetVersion);
    t.routines[u"RtlVerifyVersionInfo"] = reinterpret_cast<PVOID>(&RtlVerifyVersionInfo);
    t.routines[u"VerSetConditionMask"] = reinterpret_cast<PVOID>(&VerSetConditionMask);
    t.routines[u"PsGetVersion"] = reinterpret_cast<PVOID>(&PsGetVersion);
    t.routines[u"MmGetSystemRoutineAddress"] = reinterpret_cast<PVOID>(&MmGetSystemRoutineAddress);
}

struct BuiltInRoutineTable : RoutineTable {
    BuiltInRoutineTable() { AddBuiltIns(*this); }
};

RoutineTable& Routines() {
    static BuiltInRoutineTable table;
    return table;
}

bool IsVersionRoutine(std::u16string_view name) {
    return name == u"RtlGetVersion" || name == u"RtlVerifyVersionInfo" || name == u"VerSetConditionMask";
}

bool Compare(ULONG actual, ULONG wanted, UCHAR condition) {
    switch (condition) {
    case VER_EQUAL: return actual == wanted;
    case VER_GREATER: return actual > wanted;
    case VER_GREATER_EQUAL: return actual >= wanted;
    case VER_LESS: return actual < wanted;
    case VER_LESS_EQUAL: return actual <= wanted;
    default: return false;
    }
}

UCHAR ConditionOf(ULONGLONG mask, ULONG typeBit) {
    int index = __builtin_ctz(typeBit);
    return static_cast<UCHAR>((mask >> (index * VER_NUM_BITS_PER_CONDITION_MASK)) & VER_CONDITION_MASK);
}

} // namespace

ULONG* InitSafeBootMode = &g_safeBootMode;

ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, ULONG TypeMask, UCHAR Condition) {
    if (TypeMask == 0) {
        return ConditionMask;
    }
    for (ULONG bit = 0; bit < 8; ++bit) {
        if (TypeMask & (1u << bit)) {
            unsigned shift = bit * VER_NUM_BITS_PER_CONDITION_MASK;
            ConditionMask &= ~(static_cast<ULONGLONG>(VER_CONDITION_MASK) << shift);
            ConditionMask |= static_cast<ULONGLONG>(Condition & VER_CONDITION_MASK) << shift;
        }
    }
    return ConditionMask;
}

NTSTATUS RtlGetVersion(PRTL_OSVERSIONINFOW VersionInformation) {
    ULONG size = VersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(RTL_OSVERSIONINFOW) && size != sizeof(RTL_OSVERSIONINFOEXW)) {
        return STATUS_INVALID_PARAMETER;
    }
    nt::version::ReleaseInfo info = nt::version::Info(g_release);
    VersionInformation->dwMajorVersion = info.major;
    VersionInformation->dwMinorVersion = info.minor;
    VersionInformation->dwBuildNumber = info.build;
    VersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(VersionInformation->szCSDVersion, 0, sizeof VersionInformation->szCSDVersion);
    std::u16string_view csd(info.csdVersion);
    std::memcpy(VersionInformation->szCSDVersion, csd.data(), csd.size() * sizeof(WCHAR));
    if (size == sizeof(RTL_OSVERSIONINFOEXW)) {
        auto* ex = reinterpret_cast<PRTL_OSVERSIONINFOEXW>(VersionInformation);
        ex->wServicePackMajor = info.servicePackMajor;
        ex->wServicePackMinor = info.servicePackMinor;
        ex->wSuiteMask = info.productType == VER_NT_SERVER ? VER_SUITE_ENTERPRISE : VER_SUITE_SINGLEUSERTS;
        ex->wProductType = info.productType;
        ex->wReserved = 0;
    }
    return STATUS_SUCCESS;
}

NTSTATUS RtlVerifyVersionInfo(PRTL_OSVERSIONINFOEXW VersionInfo, ULONG TypeMask, ULONGLONG ConditionMask) {
    if (TypeMask == 0 || ConditionMask == 0) {
        return STATUS_INVALID_PARAMETER;
    }
    RTL_OSVERSIONINFOEXW running{};
    running.dwOSVersionInfoSize = sizeof running;
    RtlGetVersion(reinterpret_cast<PRTL_OSVERSIONINFOW>(&running));
    const RTL_OSVERSIONINFOEXW& want = *VersionInfo;

    // Major, minor and service pack major and minor compare as one version number, most significant part
    // first: the first part named in the mask that differs decides, with that part's condition.
    struct Part {
        ULONG bit;
        ULONG actual;
        ULONG wanted;
    };
    const Part parts[] = {
        {VER_MAJORVERSION, running.dwMajorVersion, want.dwMajorVersion},
        {VER_MINORVERSION, running.dwMinorVersion, want.dwMinorVersion},
        {VER_SERVICEPACKMAJOR, running.wServicePackMajor, want.wServicePackMajor},
        {VER_SERVICEPACKMINOR, running.wServicePackMinor, want.wServicePackMinor},
    };
    bool anyVersionPart = false;
    bool versionOk = true;
    UCHAR lastCondition = VER_EQUAL;
    bool decided = false;
    for (const Part& p : parts) {
        if (!(TypeMask & p.bit)) {
            continue;
        }
        anyVersionPart = true;
        lastCondition = ConditionOf(ConditionMask, p.bit);
        if (p.actual != p.wanted) {
            versionOk = Compare(p.actual, p.wanted, lastCondition);
            decided = true;
            break;
        }
    }
    if (anyVersionPart && !decided) {
        versionOk = Compare(0, 0, lastCondition); // all parts equal
    }
    if (!versionOk) {
        return STATUS_REVISION_MISMATCH;
    }
    if ((TypeMask & VER_BUILDNUMBER) &&
        !Compare(running.dwBuildNumber, want.dwBuildNumber, ConditionOf(ConditionMask, VER_BUILDNUMBER))) {
        return STATUS_REVISION_MISMATCH;
    }
    if ((TypeMask & VER_PLATFORMID) &&
        !Compare(running.dwPlatformId, want.dwPlatformId, ConditionOf(ConditionMask, VER_PLATFORMID))) {
        return STATUS_REVISION_MISMATCH;
    }
    if ((TypeMask & VER_PRODUCT_TYPE) &&
        !Compare(running.wProductType, want.wProductType, ConditionOf(ConditionMask, VER_PRODUCT_TYPE))) {
        return STATUS_REVISION_MISMATCH;
    }
    if (TypeMask & VER_SUITENAME) {
        UCHAR condition = ConditionOf(ConditionMask, VER_SUITENAME);
        bool ok = condition == VER_OR ? (running.wSuiteMask & want.wSuiteMask) != 0
                                      : (running.wSuiteMask & want.wSuiteMask) == want.wSuiteMask;
        if (!ok) {
            return STATUS_REVISION_MISMATCH;
        }
    }
    return STATUS_SUCCESS;
}

BOOLEAN PsGetVersion(PULONG MajorVersion, PULONG MinorVersion, PULONG BuildNumber, PUNICODE_STRING CSDVersion) {
    nt::version::ReleaseInfo info = nt::version::Info(g_release);
    if (MajorVersion != nullptr)
        *MajorVersion = info.major;
    if (MinorVersion != nullptr)
        *MinorVersion = info.minor;
    if (BuildNumber != nullptr)
        *BuildNumber = info.build;
    if (CSDVersion != nullptr && CSDVersion->Buffer != nullptr) {
        std::u16string_view csd(info.csdVersion);
        size_t bytes = std::min<size_t>(csd.size() * sizeof(WCHAR), CSDVersion->MaximumLength);
        std::memcpy(CSDVersion->Buffer, csd.data(), bytes);
        CSDVersion->Length = static_cast<USHORT>(bytes);
    }
    return FALSE;
}

PVOID MmGetSystemRoutineAddress(PUNICODE_STRING SystemRoutineName) {
    std::u16string_view name = nt::text::View(SystemRoutineName);
    if (g_release == nt::version::Release::VersionRoutinesUnresolvable && IsVersionRoutine(name)) {
        return nullptr;
    }
    RoutineTable& t = Routines();
    std::lock_guard guard(t.lock);
    auto it = t.routines.find(name);
    return it == t.routines.end() ? nullptr : it->second;
}

namespace nt::version {

void SelectRelease(Release release) {
    g_release = release;
}

Release SelectedRelease() {
    return g_release;
}

ReleaseInfo Info(Release release) {
    switch (release) {
    case Release::Windows2000:
    case Release::VersionRoutinesUnresolvable: return {5, 0, 2195, 4, 0, VER_NT_WORKSTATION, u"Service Pack 4"};
    case Release::WindowsXP: return {5, 1, 2600, 2, 0, VER_NT_WORKSTATION, u"Service Pack 2"};
    case Release::WindowsXPSP3: return {5, 1, 2600, 3, 0, VER_NT_WORKSTATION, u"Service Pack 3"};
    case Release::Server2003: return {5, 2, 3790, 2, 0, VER_NT_SERVER, u"Service Pack 2"};
    case Release::VistaSP0: return {6, 0, 6000, 0, 0, VER_NT_WORKSTATION, u""};
    case Release::VistaSP1: return {6, 0, 6001, 1, 0, VER_NT_WORKSTATION, u"Service Pack 1"};
    case Release::VistaSP2: return {6, 0, 6002, 2, 0, VER_NT_WORKSTATION, u"Service Pack 2"};
    case Release::Windows7: return {6, 1, 7601, 1, 0, VER_NT_WORKSTATION, u"Service Pack 1"};
    case Release::Windows8: return {6, 2, 9200, 0, 0, VER_NT_WORKSTATION, u""};
    case Release::Windows10: return {10, 0, 19045, 0, 0, VER_NT_WORKSTATION, u""};
    }
    return {6, 1, 7601, 1, 0, VER_NT_WORKSTATION, u"Service Pack 1"};
}

void SetSafeBootMode(ULONG mode) {
    __atomic_store_n(&g_safeBootMode, mode, __ATOMIC_RELEASE);
}

ULONG SafeBootMode() {
    return __atomic_load_n(&g_safeBootMode, __ATOMIC_ACQUIRE);
}

void RegisterSystemRoutine(std::u16string_view name, PVOID routine) {
    RoutineTable& t = Routines();
    std::lock_guard guard(t.lock);
    t.routines[std::u16string(name)] = routine;
}

void Reset() {
    g_release = Release::Windows7;
    SetSafeBootMode(0);
    RoutineTable& t = Routines();
    std::lock_guard guard(t.lock);
    AddBuiltIns(t);
}

} // namespace nt::version
