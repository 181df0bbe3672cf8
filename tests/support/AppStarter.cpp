#include "tests/support/AppStarter.h"

#include <unistd.h>

#include <filesystem>

#include "AfxOleControl.h"
#include "WinMachineProfile.h"
#include "app/core/app/AppResources.h"
#include "app/core/app/SingleInstance.h"
#include "app/core/system/ProgramVersion.h"
#include "app/ui/frame/MainFrame.h"

namespace apptest {

namespace {

std::filesystem::path StateFolder() {
    return std::filesystem::temp_directory_path() / ("tdl-appstart-" + std::to_string(::getpid()));
}

} // namespace

AppStarter::AppStarter() {
    std::filesystem::create_directories(StateFolder());
    win32::SetStateFolder(StateFolder().string());
    RegisterProgramVersionResource();
    RegisterAppResources();
    win32::SetModalStrict(false);
    win32::ClearModalRequests();
    CreateSingleInstanceMutex();
}

AppStarter::~AppStarter() {
    Finish();
    CloseSingleInstanceMutex();
    afx::ResetOleState();
    win32::ClearModalRequests();
    win32::SetStateFolder("");
    std::error_code ignored;
    std::filesystem::remove_all(StateFolder(), ignored);
}

CTindaloftApp& AppStarter::Make(const std::string& commandLine) {
    Finish();
    m_app = std::make_unique<CTindaloftApp>();
    m_app->SetCurrentHandles(nullptr, commandLine.c_str(), SW_SHOWNORMAL);
    return *m_app;
}

CMainFrame* AppStarter::MainFrame() const {
    return m_app != nullptr ? dynamic_cast<CMainFrame*>(m_app->m_pMainWnd) : nullptr;
}

void AppStarter::Finish() {
    if (m_app == nullptr) {
        return;
    }
    if (m_app->m_pMainWnd != nullptr && m_app->m_pMainWnd->m_hWnd != nullptr) {
        m_app->m_pMainWnd->DestroyWindow();
    }
    m_app->m_pMainWnd = nullptr;
    m_app.reset();
    TakeQuit();
}

void AppStarter::TakeQuit() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::vector<win32::ModalRequest> AppStarter::TakeBoxes() {
    std::vector<win32::ModalRequest> boxes;
    for (const win32::ModalRequest& request : win32::ModalRequests()) {
        if (request.kind == win32::ModalKind::MessageBox) {
            boxes.push_back(request);
        }
    }
    win32::ClearModalRequests();
    return boxes;
}

std::vector<std::string> AppStarter::TakeBoxTexts() {
    std::vector<std::string> texts;
    for (const win32::ModalRequest& box : TakeBoxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

} // namespace apptest
