#include "app/VtxDlg.h"

#include "app/Messages.h"
#include "app/PageRegistry.h"
#include "app/SingleCopy.h"
#include "app/VersionCaption.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

namespace {

// Space between a list and its page, in dialog units: the What list has the
// "Processing" group between them.
const int kWhatPageOffset = 31;
const int kPageOffset = 3;

const int kPlaceholders[3] = {IDC_STEP1, IDC_STEP2, IDC_STEP3};
const UINT kStepFiles[3] = {IDS_STEP1_FILE, IDS_STEP2_FILE, IDS_STEP3_FILE};

// Only exactly 1 counts as on for the two options that have no default of
// their own: a stored -1 (or anything stranger) shows unchecked.
int StrictOption(int stored) {
    return stored == 1 ? 1 : 0;
}

// The two options that default to on: missing (-1) means on.
int OptionDefaultOn(int stored) {
    return stored != 0 ? 1 : 0;
}

// Windows drops messages posted from a lower integrity level: an elevated vsr
// would get no reports from the hook copies in ordinary programs. Only the
// hook's reports to this window pass; key entry takes keys typed into vsr
// itself, whose reports come from its own level.
void LetHookReportsThrough(HWND window) {
    for (UINT message : {MSG_MOUSE_MOVE, MSG_MOUSE_UP, MSG_MOUSE_DOWN, MSG_CAPTURE, MSG_END_SESSION})
        ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
}

} // namespace

CVtxDlg::CVtxDlg() : win::Dialog(IDD_MAIN) {}

CVtxDlg::~CVtxDlg() {
    // A session still running refers to the pages and the store.
    session.reset();
    // Pages first: they refer to the store.
    whatPages.clear();
    howPages.clear();
    toPages.clear();
    settings.reset();
    if (icon)
        DestroyIcon(icon);
    if (smallIcon)
        DestroyIcon(smallIcon);
}

BOOL CVtxDlg::OnInitDialog() {
    SetCaptionFromVersion();
    LetHookReportsThrough(hwnd());
    SingleCopy::MarkMainWindow(hwnd());
    settings = std::make_unique<SettingsStore>("Vistrel");
    SetIcons();

    whatPages = MakeWhatPages(*settings);
    for (auto& page : whatPages)
        AddPage(IDC_WHAT_LIST, *page);
    if (!RestoreSelection(IDC_WHAT_LIST, IDS_LAST_WHAT_SELECTION).empty())
        RestoreOptions();
    currentWhat = static_cast<CWhatSelectDlg*>(ShowSelectedPage(IDC_WHAT_LIST, currentWhat));

    howPages = MakeHowPages(*settings);
    for (auto& page : howPages)
        AddPage(IDC_HOW_LIST, *page);
    RestoreSelection(IDC_HOW_LIST, IDS_LAST_HOW_SELECTION);
    currentHow = static_cast<CHowSelectDlg*>(ShowSelectedPage(IDC_HOW_LIST, currentHow));

    toPages = MakeToPages(*settings);
    for (auto& page : toPages)
        AddPage(IDC_TO_LIST, *page);
    RestoreSelection(IDC_TO_LIST, IDS_LAST_TO_SELECTION);
    currentTo = static_cast<CToSelectDlg*>(ShowSelectedPage(IDC_TO_LIST, currentTo));

    if (currentWhat)
        currentWhat->Activate();
    UpdateData(false);
    return TRUE;
}

void CVtxDlg::SetCaptionFromVersion() {
    std::string version = OwnProductVersion();
    if (!version.empty())
        SetWindowTextA(hwnd(), CaptionForVersion(version).c_str());
}

void CVtxDlg::SetIcons() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon =
        static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon ? smallIcon : icon));
}

void CVtxDlg::AddPage(int listId, CSelectDlg& page) {
    page.Create(hwnd());
    HWND list = Item(listId);
    LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(page.displayName().c_str()));
    if (index >= 0)
        SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&page));
}

std::string CVtxDlg::RestoreSelection(int listId, UINT lastSelectionId) {
    std::string last = settings->ReadText(lastSelectionId);
    HWND list = Item(listId);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
    // The search starts after entry 0 and wraps round, so entry 0 is found last.
    if (!last.empty())
        SendMessageA(list, CB_SELECTSTRING, 0, reinterpret_cast<LPARAM>(last.c_str()));
    return last;
}

void CVtxDlg::RestoreOptions() {
    mouse = StrictOption(settings->ReadNumber(IDS_MOUSE));
    hide = StrictOption(settings->ReadNumber(IDS_HIDE));
    preview = OptionDefaultOn(settings->ReadNumber(IDS_PREVIEW));
    sound = OptionDefaultOn(settings->ReadNumber(IDS_SOUND));
}

void CVtxDlg::SaveOptions() {
    settings->WriteNumber(IDS_MOUSE, mouse);
    settings->WriteNumber(IDS_HIDE, hide);
    settings->WriteNumber(IDS_PREVIEW, preview);
    settings->WriteNumber(IDS_SOUND, sound);
    settings->Flush();
}

CSelectDlg* CVtxDlg::ShowSelectedPage(int listId, CSelectDlg* current) {
    HWND list = Item(listId);
    LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return current;
    auto* page =
        reinterpret_cast<CSelectDlg*>(SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    if (!page || page == reinterpret_cast<CSelectDlg*>(CB_ERR))
        return current;

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(list, &placement);
    RECT offset = {0, 0, 0, listId == IDC_WHAT_LIST ? kWhatPageOffset : kPageOffset};
    MapDialogRect(hwnd(), &offset);
    int x = placement.rcNormalPosition.left;
    int y = placement.rcNormalPosition.bottom + offset.bottom;

    const UINT keep = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    if (current && current != page)
        SetWindowPos(current->hwnd(), nullptr, x, y, 0, 0, keep | SWP_HIDEWINDOW);
    SetWindowPos(page->hwnd(), nullptr, x, y, 0, 0, keep | SWP_SHOWWINDOW);
    page->Activate();
    return page;
}

void CVtxDlg::Exchange(win::DataExchange& exchange) {
    exchange.Check(IDC_HIDE, hide);
    exchange.Check(IDC_MOUSE, mouse);
    exchange.Check(IDC_PREVIEW, preview);
    exchange.Check(IDC_SOUND, sound);
}

bool CVtxDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (code == CBN_SELCHANGE) {
        switch (id) {
        case IDC_WHAT_LIST:
            currentWhat = static_cast<CWhatSelectDlg*>(ShowSelectedPage(id, currentWhat));
            return true;
        case IDC_HOW_LIST:
            currentHow = static_cast<CHowSelectDlg*>(ShowSelectedPage(id, currentHow));
            return true;
        case IDC_TO_LIST:
            currentTo = static_cast<CToSelectDlg*>(ShowSelectedPage(id, currentTo));
            return true;
        default:
            break;
        }
    }
    return win::Dialog::OnCommand(id, code, control);
}

void CVtxDlg::OnOK() {
    StartSession();
}

void CVtxDlg::OnCancel() {
    if (session && !session->EndForClose())
        return; // a step is running: the session closes the window once it has ended
    win::Dialog::OnCancel();
}

bool CVtxDlg::StartSession() {
    // One session at a time: with the main window left visible, Capture is
    // ignored until the running session has ended.
    if (session && session->Running())
        return false;
    if (!currentWhat || !currentHow || !currentTo)
        return false;
    if (!currentWhat->UpdateData(true) || !currentTo->UpdateData(true) || !currentHow->UpdateData(true) ||
        !UpdateData(true))
        return false;
    // All three are asked, so every page saves its values even when another builds nothing.
    std::unique_ptr<CWhatExecute> source = currentWhat->CreateExecute(mouse);
    std::unique_ptr<CHowExecute> trigger = currentHow->CreateExecute();
    std::unique_ptr<CToExecute> output = currentTo->CreateExecute();
    if (!session)
        session = std::make_unique<CCaptureSession>(hwnd());
    if (!session->Accept(std::move(source), std::move(trigger), std::move(output)))
        return false;
    SaveOptions();
    session->Begin(SessionOptions{hide, mouse, preview, sound});
    return true;
}

bool CVtxDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case MSG_MOUSE_MOVE:
    case MSG_MOUSE_UP:
    case MSG_MOUSE_DOWN:
        if (session)
            session->OnPointer(message, wParam, lParam);
        result = 0;
        return true;
    case MSG_CAPTURE:
        if (session)
            session->OnCapture();
        result = 0;
        return true;
    case MSG_END_SESSION:
        if (session)
            session->OnEndSession();
        result = 0;
        return true;
    case WM_PAINT:
        if (!IsIconic(hwnd()) && !GetUpdateRect(hwnd(), nullptr, FALSE))
            return false;
        OnPaint();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(icon);
        return true;
    case WM_DESTROY:
        SingleCopy::UnmarkMainWindow(hwnd());
        return false;
    case WM_HELP:
        // F1 opens no help.
        result = TRUE;
        return true;
    default:
        return false;
    }
}

void CVtxDlg::OnPaint() {
    if (IsIconic(hwnd())) {
        PaintIcon();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    DrawStepPictures(dc);
    EndPaint(hwnd(), &paint);
}

void CVtxDlg::PaintIcon() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd(), &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(hwnd(), &paint);
}

void CVtxDlg::DrawStepPictures(HDC dc) {
    if (firstPaint) {
        // Cleared first: the error boxes below let paint messages through.
        firstPaint = false;
        for (int i = 0; i < 3; ++i) {
            pictures[i].LoadFromFolderFile(IDS_IMG_FOLDER, kStepFiles[i], nullptr);
            pictures[i].DrawInPlaceOf(dc, Item(kPlaceholders[i]));
        }
        return;
    }
    for (int i = 0; i < 3; ++i)
        pictures[i].DrawInPlaceOf(dc, Item(kPlaceholders[i]));
}
