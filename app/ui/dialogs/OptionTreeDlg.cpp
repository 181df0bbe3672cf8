#include "app/ui/dialogs/OptionTreeDlg.h"

#include <algorithm>
#include <cstring>

#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/find/FindOptionsIds.h"
#include "htmlhelp.h"

IMPLEMENT_DYNAMIC(COptionTreeDlg, CDialog)

BEGIN_MESSAGE_MAP(COptionTreeDlg, CDialog)
ON_CONTROL(BN_CLICKED, IDC_OPTIONS_HELP, &COptionTreeDlg::OnHelp)
ON_NOTIFY(TVN_GETINFOTIP, IDC_OPTION_TREE, &COptionTreeDlg::OnGetInfoTip)
END_MESSAGE_MAP()

namespace {

constexpr char kTitle[] = "Tindaloft Options";
constexpr char kLogFileTitle[] = "Tindaloft Options (used by log file)";
constexpr char kLoggingTitle[] = "Tindaloft Options (logging active)";
constexpr char kContinuousQuestion[] =
    "Changing the Continuous Logging option requires clearing the current capture buffer.\n"
    "Selecting Yes, will clear the current capture buffer.\n"
    "Select No, if you want to save your capture data first.";

constexpr char kApplicationCaption[] = "Application Settings";
constexpr char kLogSizeCaption[] = "Maximum Log File Size";
constexpr char kDriverCaption[] = "Driver Settings";
constexpr char kLoggingCaption[] = "Logging Options";

// The caption images go into the normal list on white and into the dark list on grey.
constexpr COLORREF kNormalMask = RGB(255, 255, 255);
constexpr COLORREF kDarkMask = RGB(192, 192, 192);

// The larger log sizes, shown as what a bigger buffer would hold, never offered.
const struct {
    UINT id;
    const char* text;
} kLargerLogSizes[] = {
    {IDO_LOG_SIZE_1MB, "1 megabyte"},       {IDO_LOG_SIZE_1MB + 1, "5 megabytes"},
    {IDO_LOG_SIZE_1MB + 2, "10 megabytes"}, {IDO_LOG_SIZE_1MB + 3, "50 megabytes"},
    {IDO_LOG_SIZE_100MB, "100 megabytes"},
};

const char* const kSizeTexts[IDO_SIZE_RADIO_COUNT] = {
    "First 8 bytes",    "First 64 bytes",   "First 64 Kbytes",   "First 256 Kbytes",
    "First 512 Kbytes", "First 768 Kbytes", "First 1024 Kbytes",
};

// A check box of the tree and the setting it shows and sets.
struct CheckOption {
    UINT id;
    const char* text;
    bool CAppSettings::*setting;
};

const CheckOption kApplicationChecks[] = {
    {IDO_BACKGROUND_LOGGING, "Enable background logging", &CAppSettings::BackgroundLogging},
    {IDO_HIDE_DEVICE_TREE, "Hide Device Tree when Starting Capture", &CAppSettings::HideDTOnLogging},
    {IDO_AUTO_CLOSE_PROGRESS, "Export progress dialog auto-closes on successful completion",
     &CAppSettings::AutoCloseProgress},
    {IDO_INDEPENDENT_HELP, "Html Help (F1) is NOT top-most window", &CAppSettings::IndependentHtmlHelp},
    {IDO_CHECK_FOR_UPDATE, "Check for update at program startup", &CAppSettings::CheckForUpdate},
};

// The transfer kinds whose data is captured, each with its size radios.
struct TransferOption {
    UINT id;
    const char* text;
    bool CAppSettings::*capture;
    DWORD CAppSettings::*size;
    UINT firstSize;
};

const TransferOption kTransfers[] = {
    {IDO_CAPTURE_BULK, "Capture Bulk/Interrupt Transfer Data", &CAppSettings::CaptureBulk, &CAppSettings::BulkMaxSize,
     IDO_BULK_SIZE_FIRST},
    {IDO_CAPTURE_CTRL, "Capture Control Transfer Data", &CAppSettings::CaptureCtrl, &CAppSettings::CtrlMaxSize,
     IDO_CTRL_SIZE_FIRST},
    {IDO_CAPTURE_ISOCH, "Capture Isochronous Transfer Data", &CAppSettings::CaptureIsoch, &CAppSettings::IsochMaxSize,
     IDO_ISOCH_SIZE_FIRST},
};

// The request kinds after URBs and the hub interface.
const CheckOption kLoggingChecks[] = {
    {IDO_CAPTURE_USB_INTERN, "Enable logging of USB Internal Ioctls", &CAppSettings::CaptureUsbIntern},
    {IDO_CAPTURE_HUB_IOCTL, "Enable logging of Hub User-mode Ioctls", &CAppSettings::CaptureHubIoctl},
    {IDO_CAPTURE_HCD_IOCTL, "Enable logging of Host Controller User-mode Ioctls", &CAppSettings::CaptureHcdIoctl},
    {IDO_CAPTURE_HID_IOCTL, "Enable logging of HID User-mode Ioctls", &CAppSettings::CaptureHidIoctl},
    {IDO_CAPTURE_PNP, "Enable logging of PnP Start/Remove Irps", &CAppSettings::CapturePnp},
    {IDO_CAPTURE_POWER, "Enable logging of Power Irps", &CAppSettings::CapturePower},
};

// Every item id whose tip the dialog loads, besides the size radios.
const UINT kTipIds[] = {
    IDS_OPTION_TIP_LOGGING,
    IDS_OPTION_TIP_APPLICATION,
    IDS_OPTION_TIP_DRIVER,
    IDS_OPTION_TIP_LOG_SIZE,
    IDS_OPTION_TIP_LOGGING_OPTIONS,
    IDO_LOG_SIZE_BANK,
    IDO_LOG_SIZE_1MB,
    IDO_LOG_SIZE_1MB + 1,
    IDO_LOG_SIZE_1MB + 2,
    IDO_LOG_SIZE_1MB + 3,
    IDO_LOG_SIZE_100MB,
    IDO_AUTO_ENABLE,
    IDO_CAPTURE_BULK,
    IDO_CAPTURE_CTRL,
    IDO_CAPTURE_ISOCH,
    IDO_HIDE_DEVICE_TREE,
    IDO_CAPTURE_URBS,
    IDO_CAPTURE_USB_INTERN,
    IDO_CAPTURE_HUB_IOCTL,
    IDO_CAPTURE_HCD_IOCTL,
    IDO_CAPTURE_HID_IOCTL,
    IDO_CAPTURE_PNP,
    IDO_CAPTURE_POWER,
    IDO_CONTINUOUS_LOGGING,
    IDO_BACKGROUND_LOGGING,
    IDO_AUTO_CLOSE_PROGRESS,
    IDO_CAPTURE_HUB_INTERFACE,
    IDO_INDEPENDENT_HELP,
    IDO_CHECK_FOR_UPDATE,
};

// The hub interface's option is withdrawn where the application's system has no hub-interface logging.
bool IsHubInterfaceWithdrawn() {
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    return pApp != nullptr && pApp->m_OSVersion.IsHubInterfaceLoggingWithdrawn();
}

// A bitmap resource added to an image list with a mask colour; the image's index, -1 when it cannot be.
int AddBitmap(CImageList& list, UINT nID, COLORREF mask) {
    if (list.GetSafeHandle() == nullptr)
        return -1;
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(nID))
        return -1;
    return list.Add(&bitmap, mask);
}

} // namespace

COptionTreeDlg::COptionTreeDlg(CAppSettings* pSettings, BOOL bLiveDocument, BOOL bLogging, CWnd* pParentWnd)
    : CDialog(IDD_OPTIONS, pParentWnd), m_pSettings(pSettings), m_bLiveDocument(bLiveDocument), m_bLogging(bLogging) {
    m_tips.InitHashTable(53);
}

COptionTreeDlg::~COptionTreeDlg() = default;

void COptionTreeDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    // Sub-classing runs the tree's initialisation: its check and radio images.
    DDX_Control(pDX, IDC_OPTION_TREE, m_tree);
}

BOOL COptionTreeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!m_bLiveDocument) {
        SetWindowText(kLogFileTitle);
        m_bReadOnly = TRUE;
    } else if (m_bLogging) {
        SetWindowText(kLoggingTitle);
        m_bReadOnly = TRUE;
    } else {
        SetWindowText(kTitle);
    }
    LoadTips();
    AddCaptionImages();
    BuildTree();
    return TRUE;
}

void COptionTreeDlg::LoadTips() {
    auto load = [this](UINT nID) {
        CString text;
        if (text.LoadString(nID))
            m_tips.SetAt(nID, text);
    };
    for (UINT nID : kTipIds)
        load(nID);
    for (const TransferOption& transfer : kTransfers)
        for (UINT i = 0; i < IDO_SIZE_RADIO_COUNT; ++i)
            load(transfer.firstSize + i);
}

void COptionTreeDlg::AddCaptionImages() {
    // Both lists hold the four option images first, so each caption image has the same index in both.
    m_nPageImage = AddBitmap(m_tree.GetNormalImageList(), IDB_OPTION_CAPTION_PAGE, kNormalMask);
    m_nGroupImage = AddBitmap(m_tree.GetNormalImageList(), IDB_OPTION_CAPTION_GROUP, kNormalMask);
    AddBitmap(m_tree.GetDarkImageList(), IDB_OPTION_CAPTION_PAGE, kDarkMask);
    AddBitmap(m_tree.GetDarkImageList(), IDB_OPTION_CAPTION_GROUP, kDarkMask);
}

HTREEITEM COptionTreeDlg::AddCheck(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, bool bChecked) {
    return m_tree.AddCheckBox(uID, lpszText, hParent, bChecked ? TRUE : FALSE, TVI_LAST, m_bReadOnly);
}

void COptionTreeDlg::AddSizeRadios(UINT uFirstID, HTREEITEM hParent, DWORD dwCode) {
    for (UINT i = 0; i < IDO_SIZE_RADIO_COUNT; ++i)
        m_tree.AddRadioButton(uFirstID + i, kSizeTexts[i], hParent, dwCode == i + 1 ? TRUE : FALSE, TVI_LAST,
                              m_bReadOnly);
}

void COptionTreeDlg::BuildTree() {
    const CAppSettings& s = *m_pSettings;
    // A caption with no image of its own shows none rather than an option's check box.
    const int group = m_nGroupImage >= 0 ? m_nGroupImage : I_IMAGENONE;
    const int page = m_nPageImage >= 0 ? m_nPageImage : I_IMAGENONE;

    HTREEITEM hApplication = m_tree.InsertTreeItem(kApplicationCaption, TVI_ROOT, TRUE, group, group);
    HTREEITEM hLogSize = m_tree.InsertTreeItem(kLogSizeCaption, hApplication, TRUE, page, page);
    CString bank;
    // The shown settings' own bank size, not a fixed 256: a log file saved with 1 MiB says "1024 Kbytes".
    bank.Format("%d Kbytes", static_cast<int>(s.MaxLogBuffer >> 10));
    m_tree.AddRadioButton(IDO_LOG_SIZE_BANK, bank, hLogSize, TRUE, TVI_LAST, m_bReadOnly);
    for (const auto& size : kLargerLogSizes)
        m_tree.AddRadioButton(size.id, size.text, hLogSize, FALSE, TVI_LAST, TRUE);
    AddCheck(IDO_CONTINUOUS_LOGGING, "Enable continuous logging", hApplication, s.ContinuousLogging);
    for (const CheckOption& option : kApplicationChecks)
        AddCheck(option.id, option.text, hApplication, s.*option.setting);

    HTREEITEM hDriver = m_tree.InsertTreeItem(kDriverCaption, TVI_ROOT, TRUE, group, group);
    AddCheck(IDO_AUTO_ENABLE, "Auto-enable logging of hot plugged devices", hDriver, s.AutoEnable);
    for (const TransferOption& transfer : kTransfers) {
        HTREEITEM hTransfer = AddCheck(transfer.id, transfer.text, hDriver, s.*transfer.capture);
        AddSizeRadios(transfer.firstSize, hTransfer, s.*transfer.size);
        m_tree.Expand(hTransfer, TVE_EXPAND);
    }
    HTREEITEM hLogging = m_tree.InsertTreeItem(kLoggingCaption, hDriver, TRUE, page, page);
    AddCheck(IDO_CAPTURE_URBS, "Enable logging of URBs", hLogging, s.CaptureUrbs);
    if (!IsHubInterfaceWithdrawn())
        AddCheck(IDO_CAPTURE_HUB_INTERFACE, "Enable logging of Hub Interface", hLogging, s.CaptureHubInterface);
    for (const CheckOption& option : kLoggingChecks)
        AddCheck(option.id, option.text, hLogging, s.*option.setting);
}

UINT COptionTreeDlg::CaptionTip(const CString& text) {
    const struct {
        const char* caption;
        UINT tip;
    } captions[] = {
        {kApplicationCaption, IDS_OPTION_TIP_APPLICATION},
        {kDriverCaption, IDS_OPTION_TIP_DRIVER},
        {kLogSizeCaption, IDS_OPTION_TIP_LOG_SIZE},
        {kLoggingCaption, IDS_OPTION_TIP_LOGGING_OPTIONS},
    };
    for (const auto& c : captions)
        if (text.CompareNoCase(c.caption) == 0)
            return c.tip;
    return 0;
}

void COptionTreeDlg::OnGetInfoTip(NMHDR* pNMHDR, LRESULT* pResult) {
    auto* pTip = reinterpret_cast<NMTVGETINFOTIP*>(pNMHDR);
    *pResult = 0;
    UINT nTip = 0;
    if (m_bLiveDocument && m_bLogging)
        nTip = IDS_OPTION_TIP_LOGGING;
    else if (const UINT nID = m_tree.GetIdFromItem(pTip->hItem))
        nTip = nID;
    else
        nTip = CaptionTip(m_tree.GetItemText(pTip->hItem));
    CString text;
    // An item without a tip of its own keeps the tree's, its text.
    if (nTip == 0 || !m_tips.Lookup(nTip, text) || pTip->pszText == nullptr || pTip->cchTextMax <= 0)
        return;
    const int length = std::min(text.GetLength(), pTip->cchTextMax - 1);
    std::memcpy(pTip->pszText, text.GetString(), static_cast<size_t>(length));
    pTip->pszText[length] = '\0';
}

void COptionTreeDlg::StoreSettings() {
    CAppSettings& s = *m_pSettings;
    s.AutoEnable = IsOn(IDO_AUTO_ENABLE);
    s.MaxLogBuffer = CAppSettings::DefaultMaxLogBuffer;
    const bool continuous = IsOn(IDO_CONTINUOUS_LOGGING);
    if (m_bLiveDocument && !m_bLogging && continuous != s.ContinuousLogging &&
        MessageBox(kContinuousQuestion, nullptr, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        s.ContinuousLogging = continuous;
        m_bContinuousLoggingChanged = TRUE;
    }
    for (const CheckOption& option : kApplicationChecks)
        s.*option.setting = IsOn(option.id);
    for (const TransferOption& transfer : kTransfers) {
        s.*transfer.capture = IsOn(transfer.id);
        if (const UINT checked =
                m_tree.GetCheckedRadio(transfer.firstSize, transfer.firstSize + IDO_SIZE_RADIO_COUNT - 1))
            s.*transfer.size = checked - transfer.firstSize + SIZE_CODE_FIRST;
    }
    s.CaptureUrbs = IsOn(IDO_CAPTURE_URBS);
    // The driver captures no hub-interface calls, whatever the box shows.
    s.CaptureHubInterface = false;
    for (const CheckOption& option : kLoggingChecks)
        s.*option.setting = IsOn(option.id);
}

void COptionTreeDlg::OnOK() {
    if (!m_bReadOnly)
        StoreSettings();
    m_tips.RemoveAll();
    CDialog::OnOK();
}

void COptionTreeDlg::OnCancel() {
    m_tips.RemoveAll();
    CDialog::OnCancel();
}

void COptionTreeDlg::OnHelp() {
    CWnd* pMainWnd = AfxGetMainWnd();
    (pMainWnd != nullptr ? pMainWnd : this)->HtmlHelp(IDH_OPTIONS, HH_HELP_CONTEXT);
}
