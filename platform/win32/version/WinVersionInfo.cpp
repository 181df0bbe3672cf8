#include "WinVersionInfo.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "WinHandles.h"
#include "WinModulesControl.h"
#include "WinVersionControl.h"
#include "internal/HostFiles.h"
#include "internal/ModuleTable.h"
#include "winerror.h"

// The block a caller receives: a small header, the fixed block, the translation table and then the strings as
// "<language>\<name>\0<value>\0" pairs. Only VerQueryValue reads it.
namespace {

constexpr char kMagic[4] = {'T', 'V', 'E', 'R'};

struct BlockHeader {
    char magic[4];
    DWORD size;
    DWORD translationCount;
    DWORD stringBytes;
};
constexpr size_t kFixedOffset = sizeof(BlockHeader);
constexpr size_t kTranslationOffset = kFixedOffset + sizeof(VS_FIXEDFILEINFO);

struct Resource {
    VS_FIXEDFILEINFO fixed;
    std::vector<std::string> strings; // "<language>\<name>" then value, alternating
    std::vector<DWORD> translations;
};

struct ResourceTable {
    std::mutex lock;
    std::map<std::string, Resource> byModule;
};

ResourceTable& Table() {
    static ResourceTable table;
    return table;
}

std::string KeyOf(const char* module) {
    return win32::ModuleKey(module ? module : win32::internal::ProgramFilePath().c_str());
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<BYTE> BuildBlock(const Resource& r) {
    size_t stringBytes = 0;
    for (const std::string& s : r.strings)
        stringBytes += s.size() + 1;
    std::vector<BYTE> block(kTranslationOffset + r.translations.size() * sizeof(DWORD) + stringBytes);
    BlockHeader header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.size = static_cast<DWORD>(block.size());
    header.translationCount = static_cast<DWORD>(r.translations.size());
    header.stringBytes = static_cast<DWORD>(stringBytes);
    std::memcpy(block.data(), &header, sizeof header);
    std::memcpy(block.data() + kFixedOffset, &r.fixed, sizeof r.fixed);
    BYTE* out = block.data() + kTranslationOffset;
    if (!r.translations.empty())
        std::memcpy(out, r.translations.data(), r.translations.size() * sizeof(DWORD));
    out += r.translations.size() * sizeof(DWORD);
    for (const std::string& s : r.strings) {
        std::memcpy(out, s.c_str(), s.size() + 1);
        out += s.size() + 1;
    }
    return block;
}

bool FindBlock(const char* fileName, std::vector<BYTE>& block) {
    ResourceTable& t = Table();
    std::lock_guard guard(t.lock);
    auto it = t.byModule.find(win32::ModuleKey(fileName));
    if (it == t.byModule.end())
        return false;
    block = BuildBlock(it->second);
    return true;
}

void NoResource(const char* fileName) {
    struct stat st;
    bool exists = fileName && stat(win32::internal::HostPathFromWindows(fileName).c_str(), &st) == 0;
    SetLastError(exists ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_FILE_NOT_FOUND);
}

} // namespace

namespace win32 {

VS_FIXEDFILEINFO MakeFixedFileInfo(WORD major, WORD minor, WORD revision, WORD build) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = fixed.dwProductVersionMS = (DWORD{major} << 16) | minor;
    fixed.dwFileVersionLS = fixed.dwProductVersionLS = (DWORD{revision} << 16) | build;
    fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    fixed.dwFileOS = VOS_NT_WINDOWS32;
    fixed.dwFileType = VFT_APP;
    return fixed;
}

void RegisterVersionResource(const char* module, const VS_FIXEDFILEINFO& fixed,
                             std::initializer_list<VersionString> strings) {
    Resource r{fixed, {}, {}};
    for (const VersionString& s : strings) {
        r.strings.push_back(std::string(s.languageAndCodePage) + "\\" + s.name);
        r.strings.push_back(s.value);
        DWORD pair = static_cast<DWORD>(std::strtoul(s.languageAndCodePage, nullptr, 16));
        DWORD translation = (pair >> 16) | ((pair & 0xFFFF) << 16); // language low, code page high
        if (std::find(r.translations.begin(), r.translations.end(), translation) == r.translations.end())
            r.translations.push_back(translation);
    }
    ResourceTable& t = Table();
    std::lock_guard guard(t.lock);
    t.byModule[KeyOf(module)] = std::move(r);
}

void UnregisterVersionResource(const char* module) {
    ResourceTable& t = Table();
    std::lock_guard guard(t.lock);
    t.byModule.erase(KeyOf(module));
}

} // namespace win32

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle)
        *handle = 0;
    std::vector<BYTE> block;
    if (!FindBlock(fileName, block)) {
        NoResource(fileName);
        return 0;
    }
    return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
    std::vector<BYTE> block;
    if (!FindBlock(fileName, block)) {
        NoResource(fileName);
        return FALSE;
    }
    if (!data || length < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    BlockHeader header;
    if (!block || !subBlock || !buffer)
        return FALSE;
    std::memcpy(&header, block, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0)
        return FALSE;
    auto* base = static_cast<BYTE*>(const_cast<void*>(block));
    const std::string query = Lower(subBlock);
    auto answer = [&](void* at, UINT size) {
        *buffer = at;
        if (length)
            *length = size;
        return TRUE;
    };
    if (query == "\\" || query.empty())
        return answer(base + kFixedOffset, sizeof(VS_FIXEDFILEINFO));
    if (query == "\\varfileinfo\\translation")
        return header.translationCount
                   ? answer(base + kTranslationOffset, header.translationCount * static_cast<UINT>(sizeof(DWORD)))
                   : FALSE;
    const std::string prefix = "\\stringfileinfo\\";
    if (query.rfind(prefix, 0) != 0)
        return FALSE;
    const std::string wanted = query.substr(prefix.size());
    auto* text = reinterpret_cast<char*>(base + kTranslationOffset + header.translationCount * sizeof(DWORD));
    const char* end = text + header.stringBytes;
    while (text < end) {
        char* key = text;
        char* value = key + std::strlen(key) + 1;
        if (value >= end)
            break;
        if (Lower(key) == wanted)
            return answer(value, static_cast<UINT>(std::strlen(value) + 1));
        text = value + std::strlen(value) + 1;
    }
    return FALSE;
}
