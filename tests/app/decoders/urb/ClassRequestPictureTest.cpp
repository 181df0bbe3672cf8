// The Log Details grid as a user sees a decoded class request: the setup packet's group with the request
// under its name and, inside it, the data stage (a port's status bits; a printer's device ID beside it).
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "WinGdiControl.h"
#include "afxwin.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

class ClassRequestPictureTest : public tdl::test::UiTest {
protected:
    CWinApp m_app{"Tindaloft"};
};

TEST_F(ClassRequestPictureTest, ClassRequestsAreDrawn) {
    CWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "Log Details", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 460, 1100),
                               nullptr, 0));
    CRect client;
    owner.GetClientRect(&client);
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.Grid().Create(client, &owner, 100));
    pane.Grid().SetTheme(6);
    tdl::test::DecoderDocument document;

    classtest::ClassRecord port;
    port.stack = 1;
    port.bmRequestType = 0xA3;
    port.wIndex = 2;
    port.data = {0x03, 0x05, 0x01, 0x00};
    const std::string text = "MFG:Tindaloft;MDL:Page Printer 100;CMD:PCL,PJL;";
    classtest::ClassRecord id;
    id.stack = 4;
    id.bmRequestType = 0xA1;
    id.data = {0x00, static_cast<uint8_t>(text.size() + 2)};
    id.data.insert(id.data.end(), text.begin(), text.end());
    for (const auto& [name, record] : {std::pair{"hub_port_status", port}, std::pair{"printer_device_id", id}}) {
        ASSERT_TRUE(pane.ShowRecord(document.Get(), classtest::Build(record)));
        win32::StartGdiCallLog(pane.Grid().m_hWnd);
        pane.Grid().Invalidate(FALSE);
        EXPECT_TRUE(tdl::test::SavePicture(owner.m_hWnd, "log_details_" + std::string(name) + ".png"));
        win32::StopGdiCallLog();
        // At the pane's width, the deepest status bits' names and the request's major function are whole: each
        // is drawn in a rectangle its text fits.
        if (std::string(name) != "hub_port_status")
            continue;
        HDC dc = ::GetDC(pane.Grid().m_hWnd);
        HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        std::set<std::string> whole;
        for (const win32::GdiCall& call : win32::GdiCallLog()) {
            if (call.kind != "DrawText")
                continue;
            SIZE extent{};
            ::GetTextExtentPoint32A(dc, call.text.c_str(), static_cast<int>(call.text.size()), &extent);
            if (call.rect.right - call.rect.left >= extent.cx)
                whole.insert(call.text);
        }
        ::SelectObject(dc, old);
        ::ReleaseDC(pane.Grid().m_hWnd, dc);
        for (const char* shown : {"PORT_INDICATOR.PortStatus.12", "IRP_MJ_INTERNAL_DEVICE_CONTROL (0x0f)"})
            EXPECT_EQ(whole.count(shown), 1u) << shown;
    }
    owner.DestroyWindow();
}

} // namespace
