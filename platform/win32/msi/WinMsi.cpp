// The Windows Installer stand-in. Locks: one for the log, the failures and the handle table.
#include "msi.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "WinDisplayDriver.h"
#include "WinMessageBox.h"
#include "WinMsiControl.h"
#include "internal/HostFiles.h"
#include "internal/InstallerLaunch.h"
#include "winerror.h"

namespace {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr size_t kSignatureSize = 8;

struct Failure {
    UINT result;
    int count;
    int skip;
};

struct Installer {
    std::mutex lock;
    std::vector<win32::InstallerCall> calls;
    std::map<std::string, Failure> failures;
    std::map<MSIHANDLE, std::map<UINT, std::string>> summaries;
    MSIHANDLE nextHandle = 1;
};

Installer& State() {
    static Installer installer;
    return installer;
}

// The result a test chose for this call of `function`, if any.
std::optional<UINT> ChosenFailure(const std::string& function) {
    Installer& state = State();
    std::lock_guard guard(state.lock);
    auto found = state.failures.find(function);
    if (found == state.failures.end())
        return std::nullopt;
    Failure& failure = found->second;
    if (failure.skip > 0) {
        --failure.skip;
        return std::nullopt;
    }
    if (failure.count == 0)
        return std::nullopt;
    if (failure.count > 0)
        --failure.count;
    return failure.result;
}

UINT Log(const std::string& function, std::vector<std::string> arguments, UINT result) {
    Installer& state = State();
    std::lock_guard guard(state.lock);
    state.calls.push_back(win32::InstallerCall{function, std::move(arguments), result});
    return result;
}

std::string Text(LPCSTR text) {
    return text ? text : "(null)";
}

// A package's properties, or the code that refuses the file.
UINT ReadPackage(LPCSTR path, std::map<UINT, std::string>& properties) {
    if (!path || !*path)
        return ERROR_INSTALL_PACKAGE_OPEN_FAILED;
    const std::string host = win32::internal::HostPathFromWindows(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(host, error))
        return ERROR_INSTALL_PACKAGE_OPEN_FAILED;
    std::ifstream in(host, std::ios::binary);
    if (!in)
        return ERROR_INSTALL_PACKAGE_OPEN_FAILED;
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < kSignatureSize || bytes.compare(0, kSignatureSize, kSignature, kSignatureSize) != 0)
        return ERROR_INSTALL_PACKAGE_INVALID;
    size_t at = kSignatureSize;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos && equals > 0 && equals <= 5 && line.find_first_not_of("0123456789") == equals)
            properties[static_cast<UINT>(std::stoul(line.substr(0, equals)))] = line.substr(equals + 1);
        at = end + 1;
    }
    return ERROR_SUCCESS;
}

} // namespace

UINT MsiVerifyPackageA(LPCSTR packagePath) {
    const std::vector<std::string> arguments = {Text(packagePath)};
    if (auto failure = ChosenFailure("MsiVerifyPackageA"))
        return Log("MsiVerifyPackageA", arguments, *failure);
    std::map<UINT, std::string> ignored;
    return Log("MsiVerifyPackageA", arguments, ReadPackage(packagePath, ignored));
}

UINT MsiGetSummaryInformationA(MSIHANDLE database, LPCSTR databasePath, UINT updateCount, MSIHANDLE* summaryInfo) {
    const std::vector<std::string> arguments = {std::to_string(database), Text(databasePath),
                                                std::to_string(updateCount)};
    if (auto failure = ChosenFailure("MsiGetSummaryInformationA"))
        return Log("MsiGetSummaryInformationA", arguments, *failure);
    if (!summaryInfo || !databasePath)
        return Log("MsiGetSummaryInformationA", arguments, ERROR_INVALID_PARAMETER);
    if (database != 0)
        return Log("MsiGetSummaryInformationA", arguments, ERROR_INVALID_HANDLE);
    std::map<UINT, std::string> properties;
    if (UINT refused = ReadPackage(databasePath, properties))
        return Log("MsiGetSummaryInformationA", arguments, refused);
    Installer& state = State();
    {
        std::lock_guard guard(state.lock);
        *summaryInfo = state.nextHandle++;
        state.summaries[*summaryInfo] = std::move(properties);
    }
    return Log("MsiGetSummaryInformationA", arguments, ERROR_SUCCESS);
}

UINT MsiSummaryInfoGetPropertyA(MSIHANDLE summaryInfo, UINT property, UINT* dataType, INT* intValue, FILETIME* fileTime,
                                LPSTR valueBuf, DWORD* valueBufSize) {
    const std::vector<std::string> arguments = {std::to_string(summaryInfo), std::to_string(property),
                                                valueBufSize ? std::to_string(*valueBufSize) : "(null)"};
    if (auto failure = ChosenFailure("MsiSummaryInfoGetPropertyA"))
        return Log("MsiSummaryInfoGetPropertyA", arguments, *failure);
    std::optional<std::string> value;
    bool known = false;
    {
        Installer& state = State();
        std::lock_guard guard(state.lock);
        auto summary = state.summaries.find(summaryInfo);
        known = summary != state.summaries.end();
        if (known) {
            auto found = summary->second.find(property);
            if (found != summary->second.end())
                value = found->second;
        }
    }
    if (!known)
        return Log("MsiSummaryInfoGetPropertyA", arguments, ERROR_INVALID_HANDLE);
    if (dataType)
        *dataType = value ? VT_LPSTR : VT_EMPTY;
    if (intValue)
        *intValue = 0;
    if (fileTime)
        *fileTime = FILETIME{};
    const std::string text = value.value_or("");
    UINT result = ERROR_SUCCESS;
    if (valueBufSize) {
        if (valueBuf && *valueBufSize > 0) {
            const size_t copied = std::min<size_t>(text.size(), *valueBufSize - 1);
            std::memcpy(valueBuf, text.data(), copied);
            valueBuf[copied] = '\0';
        }
        if (valueBuf && *valueBufSize <= text.size())
            result = ERROR_MORE_DATA;
        *valueBufSize = static_cast<DWORD>(text.size());
    }
    return Log("MsiSummaryInfoGetPropertyA", arguments, result);
}

UINT MsiCloseHandle(MSIHANDLE handle) {
    const std::vector<std::string> arguments = {std::to_string(handle)};
    if (auto failure = ChosenFailure("MsiCloseHandle"))
        return Log("MsiCloseHandle", arguments, *failure);
    Installer& state = State();
    bool closed;
    {
        std::lock_guard guard(state.lock);
        closed = state.summaries.erase(handle) == 1;
    }
    return Log("MsiCloseHandle", arguments, closed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
}

namespace win32 {

std::string InstallerCall::Text() const {
    if (function == "msiexec") {
        std::string line = function;
        for (size_t i = 0; i < arguments.size(); ++i)
            line += i == 0 ? " " + arguments[i] : " \"" + arguments[i] + "\"";
        return line;
    }
    std::string line = function + "(";
    for (size_t i = 0; i < arguments.size(); ++i)
        line += (i ? ", " : "") + arguments[i];
    return line + ") = " + std::to_string(result);
}

std::vector<InstallerCall> InstallerCalls() {
    std::lock_guard guard(State().lock);
    return State().calls;
}

void FailInstallerCall(const std::string& function, UINT result, int count, int skip) {
    std::lock_guard guard(State().lock);
    State().failures[function] = Failure{result, count, skip};
}

size_t OpenInstallerHandleCount() {
    std::lock_guard guard(State().lock);
    return State().summaries.size();
}

void ResetInstaller() {
    std::lock_guard guard(State().lock);
    State().calls.clear();
    State().failures.clear();
}

std::string MakeInstallerPackage(const std::map<UINT, std::string>& properties) {
    std::string bytes(kSignature, kSignatureSize);
    for (const auto& [id, text] : properties)
        bytes += std::to_string(id) + "=" + text + "\n";
    return bytes;
}

namespace {

// The end of a package's installation as the installer's basic interface shows it: a box saying that the
// installation of the product (the package's subject) completed, or why the package could not be opened.
void ShowInstallationEnd(const std::string& path) {
    std::map<UINT, std::string> properties;
    const UINT result = ReadPackage(path.c_str(), properties);
    if (result != ERROR_SUCCESS) {
        const std::string text =
            "This installation package could not be opened (error " + std::to_string(result) + "):\n" + path;
        MessageBoxA(nullptr, text.c_str(), "Windows Installer", MB_OK | MB_ICONERROR);
        return;
    }
    const std::string product = properties[PID_SUBJECT];
    const std::string text = "The installation of " + (product.empty() ? "the product" : product) + " completed.";
    MessageBoxA(nullptr, text.c_str(), product.empty() ? "Windows Installer" : product.c_str(),
                MB_OK | MB_ICONINFORMATION);
}

} // namespace

bool internal::LaunchInstallerPackage(const std::string& path) {
    std::error_code error;
    const bool present = std::filesystem::is_regular_file(HostPathFromWindows(path.c_str()), error);
    Log("msiexec", {"/i", path}, present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    // Where a person sees the screen, the installation answers as it ends; the package's own process would
    // outlive the program that started it, but here that program's end would end it, so the box is answered
    // before the start returns. Without a display only the start is logged, and tests script their boxes.
    if (present && CurrentDisplayDriver().AnswersModalRequests())
        ShowInstallationEnd(path);
    return present;
}

} // namespace win32
