// Registry keys of the Plug and Play manager: Enum, Control\Class, Control\DeviceClasses and Services.
#include <cstdio>
#include <cstring>

#include "NtPnpInternal.h"
#include "NtRegistryTypes.h"
#include "NtText.h"

namespace nt::pnp::reg {

std::u16string GuidString(const GUID& guid) {
    char text[40];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
             guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
             guid.Data4[6], guid.Data4[7]);
    return text::AnsiToUtf16(text);
}

std::u16string ClassKeyPath(const GUID& classGuid) {
    return std::u16string(kControlSet) + u"\\Control\\Class\\" + GuidString(classGuid);
}

std::u16string EnumKeyPath(std::u16string_view instancePath) {
    return std::u16string(kControlSet) + u"\\Enum\\" + std::u16string(instancePath);
}

std::u16string ServiceKeyPath(std::u16string_view service) {
    return std::u16string(kControlSet) + u"\\Services\\" + std::u16string(service);
}

namespace {

constexpr std::u16string_view kMachine = u"\\Registry\\Machine";

// The path below "\Registry\Machine", or nothing when it lies elsewhere.
std::optional<std::u16string_view> BelowMachine(std::u16string_view path) {
    if (!text::StartsWithIgnoreCase(path, kMachine)) {
        return std::nullopt;
    }
    path.remove_prefix(kMachine.size());
    while (!path.empty() && path.front() == u'\\') {
        path.remove_prefix(1);
    }
    return path;
}

} // namespace

KeyRef CreatePath(std::u16string_view path) {
    auto rest = BelowMachine(path);
    KeyRef key;
    if (!rest || !NT_SUCCESS(registry::OpenKey(nullptr, kMachine, key))) {
        return nullptr;
    }
    std::u16string_view remaining = *rest;
    while (!remaining.empty()) {
        size_t end = remaining.find(u'\\');
        std::u16string_view component = remaining.substr(0, end);
        remaining = end == std::u16string_view::npos ? std::u16string_view() : remaining.substr(end + 1);
        if (component.empty()) {
            continue;
        }
        KeyRef next;
        bool created = false;
        if (!NT_SUCCESS(registry::CreateKey(key, component, false, u"", next, created))) {
            return nullptr;
        }
        key = std::move(next);
    }
    return key;
}

KeyRef OpenPath(std::u16string_view path) {
    KeyRef key;
    return NT_SUCCESS(registry::OpenKey(nullptr, path, key)) ? key : nullptr;
}

std::u16string SzBytes(std::u16string_view value) {
    std::u16string bytes(value);
    bytes.push_back(u'\0');
    return bytes;
}

std::u16string MultiSzBytes(const std::vector<std::u16string>& values) {
    std::u16string bytes;
    for (const auto& value : values) {
        bytes += value;
        bytes.push_back(u'\0');
    }
    bytes.push_back(u'\0');
    return bytes;
}

std::vector<std::u16string> ParseMultiSz(const WCHAR* text, size_t maxChars) {
    std::vector<std::u16string> values;
    size_t i = 0;
    while (i < maxChars && text[i]) {
        size_t start = i;
        while (i < maxChars && text[i]) {
            ++i;
        }
        values.emplace_back(text + start, i - start);
        ++i;
    }
    return values;
}

void SetString(const KeyRef& key, std::u16string_view name, std::u16string_view value) {
    if (key) {
        std::u16string bytes = SzBytes(value);
        registry::SetValue(key, name, REG_SZ, bytes.data(), bytes.size() * sizeof(WCHAR));
    }
}

void SetMultiString(const KeyRef& key, std::u16string_view name, const std::vector<std::u16string>& values) {
    if (key) {
        std::u16string bytes = MultiSzBytes(values);
        registry::SetValue(key, name, REG_MULTI_SZ, bytes.data(), bytes.size() * sizeof(WCHAR));
    }
}

void SetDword(const KeyRef& key, std::u16string_view name, ULONG value) {
    if (key) {
        registry::SetValue(key, name, REG_DWORD, &value, sizeof value);
    }
}

std::optional<std::u16string> GetString(const KeyRef& key, std::u16string_view name) {
    registry::Value value;
    if (!key || !NT_SUCCESS(registry::QueryValue(key, name, value)) ||
        (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::u16string text(value.data.size() / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(WCHAR));
    if (size_t nul = text.find(u'\0'); nul != std::u16string::npos) {
        text.resize(nul);
    }
    return text;
}

std::vector<std::u16string> GetMultiString(const KeyRef& key, std::u16string_view name) {
    registry::Value value;
    if (!key || !NT_SUCCESS(registry::QueryValue(key, name, value)) || value.type != REG_MULTI_SZ) {
        return {};
    }
    std::u16string text(value.data.size() / sizeof(WCHAR), u'\0');
    std::memcpy(text.data(), value.data.data(), text.size() * sizeof(WCHAR));
    return ParseMultiSz(text.data(), text.size());
}

} // namespace nt::pnp::reg
