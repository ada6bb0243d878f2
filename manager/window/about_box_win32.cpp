#include "about_box_win32.h"

#include "../resources/resource_ids.h"
#include "about_links.h"

static const int LinkControls[AboutLinkCount] = {IDC_ABOUT_WEBSITE, IDC_ABOUT_SUPPORT, IDC_ABOUT_SALES};
static const COLORREF LinkColour = RGB(0, 0, 255);

static AboutBox* BoxOf(HWND dialog) { return (AboutBox*)GetWindowLongPtrA(dialog, DWLP_USER); }

static int IsLink(HWND dialog, HWND control) {
    for (int id : LinkControls)
        if (GetDlgItem(dialog, id) == control) return 1;
    return 0;
}

// The link under the cursor now, by the links' screen rectangles.
static int HoveredLink(HWND dialog) {
    LinkBox boxes[AboutLinkCount];
    for (int i = 0; i < AboutLinkCount; ++i) {
        RECT rect = {};
        GetWindowRect(GetDlgItem(dialog, LinkControls[i]), &rect);
        boxes[i] = LinkBox{rect.left, rect.top, rect.right, rect.bottom};
    }
    POINT cursor;
    GetCursorPos(&cursor);
    return LinkAt(boxes, cursor.x, cursor.y);
}

static void OpenAbout(HWND dialog, AboutBox* box) {
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)box);
    box->hand = LoadCursorA(nullptr, (LPCSTR)IDC_HAND);
    box->face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    box->hovered = NoLink;
    box->tracking = 0;
    for (int i = 0; i < AboutLinkCount; ++i)
        SetDlgItemTextA(dialog, LinkControls[i], ShownLinkText(AboutLinks[i].text).c_str());
}

// A move over the box (the links pass the mouse to it): the hovered link,
// and a notice when the mouse leaves the box.
static void FollowMouse(HWND dialog, AboutBox* box) {
    box->hovered = HoveredLink(dialog);
    if (!box->tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, dialog, 0};
        box->tracking = TrackMouseEvent(&track) != FALSE;
    }
}

static INT_PTR LinkColours(HWND dialog, AboutBox* box, HDC context, HWND control) {
    if (box == nullptr || !IsLink(dialog, control)) return FALSE;
    SetTextColor(context, LinkColour);
    SetBkColor(context, GetSysColor(COLOR_BTNFACE));
    return (INT_PTR)box->face;
}

static INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    AboutBox* box = BoxOf(dialog);
    switch (message) {
    case WM_INITDIALOG: OpenAbout(dialog, (AboutBox*)lParam); return TRUE;
    case WM_CTLCOLORSTATIC: return LinkColours(dialog, box, (HDC)wParam, (HWND)lParam);
    case WM_MOUSEMOVE:
        if (box != nullptr) FollowMouse(dialog, box);
        return TRUE;
    case WM_MOUSELEAVE:
        if (box != nullptr) box->hovered = NoLink, box->tracking = 0;
        return TRUE;
    case WM_SETCURSOR:
        if (box == nullptr) return FALSE;
        box->hovered = HoveredLink(dialog);
        if (box->hovered == NoLink) return FALSE;
        SetCursor(box->hand);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_LBUTTONDOWN:
        if (box != nullptr) {
            box->hovered = HoveredLink(dialog);
            if (box->hovered != NoLink) box->shellOpen(AboutLinks[box->hovered - 1].target);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    case WM_DESTROY:
        if (box != nullptr) DeleteObject(box->face);
        return FALSE;
    default: return FALSE;
    }
}

void RunAboutBox(HWND owner, void (*shellOpen)(const char* target)) {
    AboutBox box = {};
    box.shellOpen = shellOpen;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutBoxProc, (LPARAM)&box);
}
