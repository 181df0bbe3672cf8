#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <regex>

#include "SetupFixture.h"
#include "WinFailureControl.h"
#include "WinMsiControl.h"
#include "WinOleControl.h"
#include "WinResourceTable.h"
#include "WinShellControl.h"
#include "ZipWriter.h"
#include "setup/Setup.h"
#include "setup/SetupPayloadData.h"
#include "setup/SetupResources.h"
#include "shellapi.h"

namespace setup::test {
namespace {

namespace fs = std::filesystem;

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string OnePackage(const std::string& package = SetupTest::Package()) {
    return BuildZip({{.name = "Tindaloft.msi", .data = package}});
}

class RunSetupTest : public SetupTest {
protected:
    // The run went all the way: the package is cached and started, and nothing was said.
    void ExpectInstalled(const std::string& package, const std::string& code, const std::string& name) {
        const std::string cached = CodeFolder(code) + "/" + name;
        EXPECT_EQ(ReadHostFile(cached), package);
        const auto executions = win32::ShellExecutions();
        ASSERT_EQ(executions.size(), 1u);
        EXPECT_EQ(executions[0].verb, "open");
        EXPECT_EQ(executions[0].file, WinPath(cached));
        EXPECT_EQ(executions[0].parameters, "");
        EXPECT_EQ(executions[0].directory, "");
        EXPECT_EQ(executions[0].show, SW_SHOWNORMAL);
        EXPECT_EQ(executions[0].mask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS));
        EXPECT_EQ(executions[0].owner, hidden_);
        EXPECT_TRUE(Boxes().empty());
        EXPECT_TRUE(TempFolderEmpty());
    }
    void ExpectEndedCleanly(int exitCode) {
        EXPECT_EQ(exitCode, 0);
        EXPECT_TRUE(TempFolderEmpty()) << "the temporary folder is gone";
        const win32::OleCounts ole = win32::OleCallCounts();
        EXPECT_EQ(ole.initializations, ole.uninitializations);
        EXPECT_EQ(win32::LiveWindowCount(), windowsBefore_);
        EXPECT_EQ(win32::OpenInstallerHandleCount(), 0u);
    }
};

TEST_F(RunSetupTest, CachesThePackageUnderItsCodeAndStartsIt) {
    const std::string package = Package();
    SetPayload(OnePackage(package));
    AnswerWelcome(IDOK);
    ExpectEndedCleanly(Run());
    ExpectInstalled(package, kPackageCode, "Tindaloft.msi");

    // The hidden window: a 40 x 40 box centred across the 1920 x 1080 screen, 5/12 of the way down less 20,
    // dragged by its client area.
    ASSERT_NE(hidden_, nullptr);
    EXPECT_EQ(hiddenRect_.left, 940);
    EXPECT_EQ(hiddenRect_.top, 430);
    EXPECT_EQ(hiddenRect_.right - hiddenRect_.left, 40);
    EXPECT_EQ(hiddenRect_.bottom - hiddenRect_.top, 40);
    EXPECT_FALSE(hiddenVisible_);
    EXPECT_EQ(hiddenHit_, HTCAPTION);

    const auto calls = win32::InstallerCalls();
    ASSERT_EQ(calls.size(), 5u);
    const std::string cached = WinPath(CodeFolder() + "/Tindaloft.msi");
    const std::regex source(std::regex_replace(WinPath(TempFolder()), std::regex(R"([\\.^$|()\[\]{}*+?])"), R"(\$&)") +
                            R"(\\XRI[0-9A-F]+\.tmp\\Tindaloft\.msi)");
    EXPECT_EQ(calls[0].function, "MsiVerifyPackageA");
    EXPECT_TRUE(std::regex_match(calls[0].arguments[0], source)) << calls[0].arguments[0];
    EXPECT_EQ(calls[1].Text(), "MsiGetSummaryInformationA(0, " + calls[0].arguments[0] + ", 0) = 0");
    EXPECT_EQ(calls[2].function, "MsiSummaryInfoGetPropertyA");
    EXPECT_EQ(calls[2].arguments[1], "9");
    EXPECT_EQ(calls[2].arguments[2], "39");
    EXPECT_EQ(calls[3].Text(), "MsiCloseHandle(" + calls[2].arguments[0] + ") = 0");
    EXPECT_EQ(calls[4].Text(), "msiexec /i \"" + cached + "\"");
    EXPECT_EQ(win32::InputIdleWaits(), std::vector<DWORD>{15000});
    const win32::OleCounts ole = win32::OleCallCounts();
    EXPECT_EQ(ole.initializations, 1);
}

TEST_F(RunSetupTest, TheBuildsOwnPayloadInstalls) {
    SetPayload(std::string(reinterpret_cast<const char*>(kSetupPayload), kSetupPayloadSize));
    AnswerWelcome(IDOK);
    ExpectEndedCleanly(Run());
    const std::string code = "{5A1C2F4E-7B3D-4E8A-9C61-0D2B7F3E9A14}";
    const std::string cached = CodeFolder(code) + "/Tindaloft.msi";
    ASSERT_TRUE(fs::is_regular_file(cached));
    ExpectInstalled(ReadHostFile(cached), code, "Tindaloft.msi");
    EXPECT_EQ(ReadHostFile(cached).substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

struct Failure {
    const char* what;
    std::function<void(RunSetupTest&)> arrange;
    bool asksWelcome;
    std::string text;
    std::string caption = "Error";
    bool ownedByHidden = true;
};

TEST_F(RunSetupTest, EachFailureIsShownAndCleanedUp) {
    auto payload = [](std::string bytes) { return [bytes](RunSetupTest& t) { t.SetPayload(bytes); }; };
    auto failCall = [](const char* function) {
        return [function](RunSetupTest& t) {
            t.SetPayload(OnePackage());
            win32::FailCalls({.function = function, .error = ERROR_NOT_ENOUGH_MEMORY});
        };
    };
    ZipLayout layout;
    std::string faulty = BuildZip({{.name = "Tindaloft.msi", .data = Package()}}, &layout);
    faulty[layout.localHeaders[0]] ^= 0x20;
    const std::string cachedPath = WinPath(CodeFolder() + "/Tindaloft.msi");
    const std::string launchText =
        "Error launching MSI file.\r\n\r\nYou can proceed by running it manually:\r\n" + cachedPath;

    const Failure failures[] = {
        {"register",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             win32::FailUiCalls(win32::UiFailure::RegisterClass, 1);
         },
         false, "Failed to register class", "Error", false},
        {"window",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             win32::FailUiCalls(win32::UiFailure::CreateWindow, 1);
         },
         false, "Failed to create window", "Error", false},
        {"dialog that cannot be made",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             win32::QueueModalAnswer(win32::ModalKind::Dialog, -1);
         },
         false, "Failed to create window"},
        {"no dialog 104",
         [](RunSetupTest& t) {
             win32::ClearResources();
             t.SetPayload(OnePackage());
         },
         false, "Failed to create window"},
        {"no payload", [](RunSetupTest&) {}, true, "Payload not present"},
        // The dialog is loaded first; the payload's lookup fails after it.
        {"find",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             t.AnswerWelcome(IDOK, [] { win32::FailResourceLoads(1); });
         },
         false, "Payload not present"},
        {"load", failCall("LoadResource"), true, "Couldn't find payload"},
        {"lock", failCall("LockResource"), true, "Couldn't lock payload"},
        {"garbage", payload("this is no archive"), true, "Couldn't figure out payload"},
        // Bytes before the archive (as a self-extractor has): the reader takes an end record only past offset 0.
        {"empty", payload("stub" + BuildZip({})), true, "Empty payload"},
        {"faulty entry", payload(faulty), true, "Part of payload is faulty"},
        {"unzip", payload(BuildZip({{.name = "Tindaloft.msi", .data = Package(), .crc = 1}})), true,
         "Failure unzipping part of payload"},
        {"no package", payload(BuildZip({{.name = "readme.txt", .data = "r"}, {.name = ".msi", .data = "m"}})), true,
         "Did not find MSI in payload"},
        {"temporary folder",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             fs::remove(t.TempFolder());
         },
         true, "Failure unzipping part of payload"},
        {"Windows folder",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             WriteHostFile(t.WindowsFolder(), "f");
         },
         true, "Failed to create MSI package directory"},
        {"cache folder",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             WriteHostFile(t.WindowsFolder() + "/Downloaded Installations", "f");
         },
         true, "Failed to create MSI package directory"},
        {"code folder",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             WriteHostFile(t.CodeFolder(), "f");
         },
         true, "Failed to create MSI package code directory"},
        {"verification", payload(OnePackage("9=" + std::string(kPackageCode))), true, "MSI package file invalid"},
        {"summary",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             win32::FailInstallerCall("MsiGetSummaryInformationA", 110);
         },
         true, "Failed to get MSI summary info"},
        {"code too long", payload(OnePackage(Package(std::string(kPackageCode) + "0"))), true,
         "Failed to get MSI package code"},
        {"code absent", payload(OnePackage(win32::MakeInstallerPackage({{2, "x"}}))), true,
         "Failed to get MSI package code"},
        {"code no GUID", payload(OnePackage(Package("..\\..\\escape"))), true, "Failed to get MSI package code"},
        {"code GUID-long but no GUID", payload(OnePackage(Package("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0/"))), true,
         "Failed to get MSI package code"},
        {"move", failCall("MoveFileExA"), true, "Failed to move MSI package to cache"},
        {"launch", failCall("ShellExecuteExA"), true, launchText, "msiexec"},
        {"wait",
         [](RunSetupTest& t) {
             t.SetPayload(OnePackage());
             win32::SetInputIdleAnswer(WAIT_TIMEOUT);
         },
         true, launchText, "msiexec"},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        TearDown();
        SetUp();
        failure.arrange(*this);
        if (failure.asksWelcome)
            AnswerWelcome(IDOK);
        HWND shownOver = nullptr;
        win32::QueueModalSteps(
            win32::ModalKind::MessageBox,
            [&shownOver](const win32::ModalRequest&, HWND) -> INT_PTR {
                shownOver = FindWindowA("PlainClass", "Installing...");
                return IDOK;
            },
            failure.caption);
        ExpectEndedCleanly(Run());
        const auto boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, failure.text);
        EXPECT_EQ(boxes[0].caption, failure.caption);
        EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
        EXPECT_EQ(boxes[0].owner, shownOver) << "the hidden window, once there is one";
        EXPECT_EQ(shownOver != nullptr, failure.ownedByHidden);
        if (hidden_)
            EXPECT_EQ(hidden_, shownOver);
        const bool launched = failure.caption == "msiexec";
        EXPECT_EQ(fs::is_regular_file(CodeFolder() + "/Tindaloft.msi"), launched) << "only a failed start keeps it";
        if (!launched && fs::is_directory(CodeFolder()))
            EXPECT_TRUE(fs::is_empty(CodeFolder()));
        EXPECT_FALSE(fs::exists(WindowsFolder() + "/escape"));
        if (failure.text == "Failed to create window")
            EXPECT_FALSE(fs::exists(WindowsFolder())) << "nothing was asked, so nothing is touched";
        hidden_ = nullptr;
    }
}

TEST_F(RunSetupTest, EntriesInFoldersAreNamedAndSkippedAndNothingLandsOutside) {
    const std::string package = Package();
    const std::vector<std::string> skipped = {"../evil.msi", "..\\evil.msi", "/x.msi", "C:\\x.msi", "sub/"};
    std::vector<ZipEntry> entries = {{.name = "Tindaloft.msi", .data = package}};
    for (const std::string& name : skipped)
        entries.push_back({.name = name,
                           .data = name.back() == '/' ? "" : "evil",
                           .external = name.back() == '/' ? (040755u << 16) | 0x10 : kUnixFile});
    SetPayload(BuildZip(entries));
    AnswerWelcome(IDOK);
    for (const std::string& name : skipped)
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, name);
    ExpectEndedCleanly(Run());

    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), skipped.size());
    for (size_t i = 0; i < skipped.size(); ++i) {
        EXPECT_EQ(boxes[i].text, "Subdirectories not implemented in installer!");
        EXPECT_EQ(boxes[i].caption, skipped[i]);
        EXPECT_EQ(boxes[i].owner, hidden_);
    }
    // The package is the one extracted, not the later ".msi" names that were skipped.
    EXPECT_EQ(ReadHostFile(CodeFolder() + "/Tindaloft.msi"), package);
    EXPECT_EQ(win32::ShellExecutions().size(), 1u);
    EXPECT_FALSE(fs::exists(folder_.HostPath("evil.msi")));
    EXPECT_FALSE(fs::exists("/x.msi"));
    EXPECT_FALSE(fs::exists(WindowsFolder() + "/Downloaded Installations/evil.msi"));
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder_.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << "only the cached package";
}

TEST_F(RunSetupTest, AnEntryNamedDotDotFailsTheUnpacking) {
    SetPayload(BuildZip({{.name = "Tindaloft.msi", .data = Package()}, {.name = "..", .data = "x"}}));
    AnswerWelcome(IDOK);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failure unzipping");
    ExpectEndedCleanly(Run());
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Failure unzipping part of payload");
    EXPECT_FALSE(fs::exists(WindowsFolder()));
    EXPECT_TRUE(win32::ShellExecutions().empty());
}

TEST_F(RunSetupTest, AnythingButYesLeavesTheDiskAlone) {
    for (INT_PTR answer : {INT_PTR{IDCANCEL} /* No, Escape, closing */, INT_PTR{0}, INT_PTR{7}}) {
        SCOPED_TRACE(answer);
        TearDown();
        SetUp();
        SetPayload(OnePackage());
        AnswerWelcome(answer);
        ExpectEndedCleanly(Run());
        EXPECT_TRUE(Boxes().empty());
        EXPECT_FALSE(fs::exists(WindowsFolder()));
        EXPECT_TRUE(win32::InstallerCalls().empty());
    }
}

TEST_F(RunSetupTest, TheLastOfTwoPackagesIsCached) {
    const std::string second = Package();
    SetPayload(BuildZip({{.name = "first.msi", .data = Package()}, {.name = "second.MSI", .data = second}}));
    AnswerWelcome(IDOK);
    ExpectEndedCleanly(Run());
    ExpectInstalled(second, kPackageCode, "second.MSI");
    EXPECT_FALSE(fs::exists(CodeFolder() + "/first.msi"));
}

TEST_F(RunSetupTest, AQuitMessageBeforeAnEntryCancels) {
    SetPayload(OnePackage());
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [](const win32::ModalRequest&, HWND) -> INT_PTR {
            PostQuitMessage(0);
            return IDOK;
        },
        "104");
    ExpectEndedCleanly(Run());
    EXPECT_TRUE(SetupCancelled);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(fs::exists(WindowsFolder()));
}

TEST_F(RunSetupTest, ACachedPackageOfTheSameCodeIsReplacedUnlessTheMoveFails) {
    WriteHostFile(CodeFolder() + "/Tindaloft.msi", "an earlier package");
    const std::string package = Package();
    SetPayload(OnePackage(package));
    AnswerWelcome(IDOK);
    ExpectEndedCleanly(Run());
    ExpectInstalled(package, kPackageCode, "Tindaloft.msi");

    TearDown();
    SetUp();
    WriteHostFile(CodeFolder() + "/Tindaloft.msi", "an earlier package");
    SetPayload(OnePackage(package));
    win32::FailCalls({.function = "MoveFileExA", .error = ERROR_ACCESS_DENIED});
    AnswerWelcome(IDOK);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to move");
    ExpectEndedCleanly(Run());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "Failed to move MSI package to cache");
    EXPECT_EQ(ReadHostFile(CodeFolder() + "/Tindaloft.msi"), "an earlier package");
}

TEST_F(RunSetupTest, UnansweredTheWelcomeDialogEndsTheRun) {
    SetPayload(OnePackage());
    ExpectEndedCleanly(Run());
    const auto unexpected = win32::UnexpectedModalRequests();
    ASSERT_EQ(unexpected.size(), 1u);
    EXPECT_EQ(unexpected[0].kind, win32::ModalKind::Dialog);
    EXPECT_EQ(unexpected[0].text, "104");
    EXPECT_FALSE(fs::exists(WindowsFolder()));
}

TEST(SetupPartsTest, ExtensionsAndTheWelcomeDialogsAnswers) {
    const std::pair<const char*, const char*> names[] = {{"a.msi", ".msi"},   {".msi", ""}, {"name", ""},
                                                         {"a.b.MSI", ".MSI"}, {"a.", "."},  {"", ""}};
    for (const auto& [name, extension] : names)
        EXPECT_STREQ(FindExtension(name), extension) << name;

    EXPECT_EQ(WelcomeDlgProc(nullptr, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(WelcomeDlgProc(nullptr, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(WelcomeDlgProc(nullptr, WM_COMMAND, IDCANCEL, 0), TRUE);
    EXPECT_EQ(WelcomeDlgProc(nullptr, WM_COMMAND, 3, 0), FALSE);
    EXPECT_EQ(WelcomeDlgProc(nullptr, WM_PAINT, 0, 0), FALSE);

    char joined[MAX_PATH];
    EXPECT_TRUE(JoinPath(joined, "C:\\t", "x.msi"));
    EXPECT_STREQ(joined, "C:\\t\\x.msi");
    EXPECT_FALSE(JoinPath(joined, std::string(250, 'f').c_str(), "longer-than-ten.msi"));
    EXPECT_STREQ(joined, "");
}

} // namespace
} // namespace setup::test

namespace setup::test {
namespace {

TEST(SetupResourcesTest, TheWelcomeDialogAndTheManifestAreThePrograms) {
    win32::ClearResources();
    RegisterSetupResources(nullptr);
    win32::DialogResource dialog;
    ASSERT_TRUE(win32::GetDialogResource(nullptr, MAKEINTRESOURCEA(104), dialog));
    EXPECT_EQ(dialog.caption, "Tindaloft Setup (x64)");
    EXPECT_EQ(dialog.fontFace, "MS Shell Dlg");
    std::vector<std::pair<UINT, std::string>> controls;
    for (const win32::DialogResourceItem& item : dialog.items)
        controls.emplace_back(item.id, item.text);
    EXPECT_EQ(controls, (std::vector<std::pair<UINT, std::string>>{{0xFFFF, "#101"},
                                                                   {0xFFFF, "Welcome to the Tindaloft\nSetup Wizard"},
                                                                   {0xFFFF, "Press Yes to begin installation"},
                                                                   {1, "&Yes"},
                                                                   {2, "&No"}}));
    EXPECT_NE(LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);

    HRSRC manifest = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(nullptr, manifest))),
                           SizeofResource(nullptr, manifest));
    for (const char* part :
         {"name=\"Tindaloft-2_20_00-x64.exe\"", "version=\"1.0.0.0\"", "processorArchitecture=\"amd64\"",
          "<description>Tindaloft x64 Setup</description>", "Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"",
          "level=\"requireAdministrator\""})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    win32::ClearResources();
}

} // namespace
} // namespace setup::test
