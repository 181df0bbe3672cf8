// A live capture document on the default simulated machine with the capture driver, as the application
// makes it: the application object, the two document templates, and a folder for saved files.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#pragma once

#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "WinModulesControl.h"
#include "WinSetupApiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "tests/support/AppStarter.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace apptest {

namespace fs = std::filesystem;

class LiveDocumentTest : public tdl::test::MachineTest {
protected:
    virtual nt::version::Release Release() const { return nt::version::Release::Windows7; }
    void SetUp() override {
        BootDefault(Release(), DriverEntry, tdl::test::BusTime::Off);
        CTindaloftApp& app = m_starter.Make();
        app.m_strMachineName = "User@TDL-WORKSTATION";
        app.m_Settings.MaxLogBuffer = 4096;
        app.m_Settings.ContinuousLogging = false;
        app.m_Settings.AutoCloseProgress = true;
        app.m_DriverInfo.LogBlockSize = 1024;
        m_dir = fs::temp_directory_path() / ("tdl-hc-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        m_live = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_REALTIME, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
        m_saved = std::make_unique<CMultiDocTemplate>(IDR_TDLOFT_TYPE, RUNTIME_CLASS(CUSBLog), nullptr, nullptr);
    }
    void TearDown() override {
        CloseDocuments();
        m_live.reset();
        m_saved.reset();
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
        win32::ResetSetupApi();
        win32::ResetModules();
        MachineTest::TearDown();
    }

    // Only one live document can own the capture banks at a time: a test that makes several closes the ones
    // before.
    void CloseDocuments() {
        for (auto& [pTemplate, doc] : m_docs) {
            pTemplate->RemoveDocument(doc);
            delete doc;
        }
        m_docs.clear();
    }
    CUSBLog* NewLive() {
        auto* doc = new CUSBLog;
        m_live->AddDocument(doc);
        m_docs.emplace_back(m_live.get(), doc);
        EXPECT_TRUE(doc->OnNewDocument());
        return doc;
    }
    CUSBLog* Open(const fs::path& path) {
        auto* doc = new CUSBLog;
        m_saved->AddDocument(doc);
        m_docs.emplace_back(m_saved.get(), doc);
        EXPECT_TRUE(doc->OnOpenDocument(path.string().c_str()));
        return doc;
    }

    apptest::AppStarter m_starter;
    fs::path m_dir;
    std::unique_ptr<CMultiDocTemplate> m_live;
    std::unique_ptr<CMultiDocTemplate> m_saved;
    std::vector<std::pair<CMultiDocTemplate*, CUSBLog*>> m_docs;
};

} // namespace apptest
