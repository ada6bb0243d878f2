#include "main_window_win32.h"

#include <cstring>
#include <string>

#include "../resources/resource_ids.h"
#include "commands_win32.h"
#include "save_message.h"
#include "window_texts.h"
#include "window_texts_win32.h"

const int CaptionFontHeight = 15;
const int CaptionFontWeight = 700;
const int ImageSize = 16;
const int StatusImageCount = 3;
const char HiddenStartFlag = 'h';
const UINT ProbeTickMilliseconds = 1000;
const char* const OpenVerb = "open";

// Links and files go to the system's default handler; failures are silent.
static void OpenWithShell(const char* target) {
    ShellExecuteA(nullptr, OpenVerb, target, nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowManager(MainWindow* main) {
    main->startHidden = 0;
    SetEvent(main->shownEvent);
    ShowWindow(main->window, SW_SHOWNORMAL);
    SetForegroundWindow(main->window);
}

void HideManager(MainWindow* main) { ShowWindow(main->window, SW_HIDE); }

static int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return MessageBoxA(owner, text, caption, type);
}

// The worker calls stay open while the user is asked: the box's loop runs
// them, and a Retry saves what they changed.
int SaveForExit(MainWindow* main) {
    if (main->savingForExit) return 0;  // Exit again while the box is up
    main->savingForExit = 1;
    int saved = 0;
    for (;;) {
        SaveOutcome outcome = SaveManagerState(main);
        if (outcome.problem == SaveDone) {
            saved = 1;
            break;
        }
        std::string text = SaveFailureMessage(main->paths.folder, outcome);
        if (main->messageBox(main->window, text.c_str(), MessageCaption,
                             MB_RETRYCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) != IDRETRY)
            break;
    }
    main->savingForExit = 0;
    if (!saved) ShowManager(main);
    return saved;
}

void EndManager(MainWindow* main) {
    CloseWindowCalls(main->window);
    SetTrayIcon(main, 0);
}

void SaveAtEnd(MainWindow* main) {
    CloseWindowCalls(main->window);
    SaveManagerState(main);
    SetTrayIcon(main, 0);
}

// ---- construction ----

static HIMAGELIST IconImageList(HINSTANCE instance, const int* icons, int count) {
    HIMAGELIST images = ImageList_Create(ImageSize, ImageSize, ILC_COLOR32 | ILC_MASK, count, 0);
    for (int i = 0; i < count; ++i) {
        HICON icon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(icons[i]), IMAGE_ICON, ImageSize, ImageSize, 0);
        ImageList_AddIcon(images, icon);
        DestroyIcon(icon);
    }
    return images;
}

static void CreateImageLists(MainWindow* main) {
    static const int statusIcons[StatusImageCount] = {IDI_STATUS_GREEN, IDI_STATUS_RED, IDI_STATUS_GREY};
    static const int folderIcon[1] = {IDI_FOLDER};
    main->statusImages = IconImageList(main->options.instance, statusIcons, StatusImageCount);
    main->categoryImages = IconImageList(main->options.instance, folderIcon, 1);
}

static int StartsHidden(const char* commandLine) {
    if (commandLine == nullptr) return 0;
    size_t length = std::strlen(commandLine);
    return length > 0 && commandLine[length - 1] == HiddenStartFlag;
}

static void SetCaptionFonts(MainWindow* main) {
    main->captionFont = CreateFontA(CaptionFontHeight, 0, 0, 0, CaptionFontWeight, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                    ANTIALIASED_QUALITY, 0, CaptionFontFace);
    static const int captions[] = {IDC_PROXY_CAPTION, IDC_PORT_CAPTION, IDC_CATEGORY_CAPTION};
    for (int id : captions) SendDlgItemMessageA(main->window, id, WM_SETFONT, (WPARAM)main->captionFont, TRUE);
}

static void InsertColumn(HWND list, int index, const char* header, int width) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = (LPSTR)header;
    column.cx = width;
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, (WPARAM)index, (LPARAM)&column);
}

static void PrepareTemplateLists(MainWindow* main) {
    main->categoryList = GetDlgItem(main->window, IDC_CATEGORY_LIST);
    main->portList = GetDlgItem(main->window, IDC_PORT_LIST);
    main->serverTemplate = GetDlgItem(main->window, IDC_SERVER_TEMPLATE);
    // The window owns the image lists; the lists only share them.
    for (HWND list : {main->portList, main->categoryList, main->serverTemplate})
        SetWindowLongA(list, GWL_STYLE, GetWindowLongA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(main->portList, main->statusImages, LVSIL_SMALL);
    ListView_SetImageList(main->categoryList, main->categoryImages, LVSIL_SMALL);
    ListView_SetExtendedListViewStyle(main->portList, LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(main->categoryList, LVS_EX_FULLROWSELECT);
    ListView_SetExtendedListViewStyle(main->serverTemplate, LVS_EX_FULLROWSELECT);
    ShowWindow(main->serverTemplate, SW_HIDE);
}

static void CreateServerLists(MainWindow* main) {
    DWORD style = (DWORD)GetWindowLongA(main->serverTemplate, GWL_STYLE);
    DWORD exStyle = (DWORD)GetWindowLongA(main->serverTemplate, GWL_EXSTYLE);
    style = (style & ~WS_VISIBLE) | LVS_OWNERDATA | LVS_SHAREIMAGELISTS;
    Box box = ChildBox(main, main->serverTemplate);
    for (int slot = 0; slot < ServerListCount; ++slot) {
        HWND list = CreateWindowExA(exStyle, WC_LISTVIEWA, "", style, box.left, box.top, Width(box), Height(box),
                                    main->window, (HMENU)(INT_PTR)IDC_SERVER_LIST, main->options.instance, nullptr);
        main->serverLists[slot] = list;
        SetWindowLongPtrA(list, GWLP_USERDATA, (LONG_PTR)slot);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
        ListView_SetImageList(list, main->statusImages, LVSIL_SMALL);
        for (int column = 0; column < ServerColumnCount; ++column)
            InsertColumn(list, column, ServerColumnHeaders[column], ServerColumnWidths[column]);
    }
    ShowWindow(CurrentServerList(main), SW_SHOW);
}

static void FillPortAndCategoryLists(MainWindow* main) {
    for (int column = 0; column < PortColumnCount; ++column)
        InsertColumn(main->portList, column, PortColumnHeaders[column], PortColumnWidths[column]);
    InsertColumn(main->categoryList, 0, CategoryColumnHeader, 0);
    for (int i = 0; i < (int)main->catalogue.categories.size(); ++i) main->catalogueView.CategoryInserted(i);
    main->catalogue.observer = &main->catalogueView;
    main->ports.observer = &main->portView;
}

static HMENU LoadContextMenu(HINSTANCE instance, int id) { return GetSubMenu(LoadMenuA(instance, MAKEINTRESOURCEA(id)), 0); }

static void LoadContextMenus(MainWindow* main) {
    main->serverMenu = LoadContextMenu(main->options.instance, IDM_SERVER_MENU);
    main->portMenu = LoadContextMenu(main->options.instance, IDM_PORT_MENU);
    main->trayMenu = LoadContextMenu(main->options.instance, IDM_TRAY_MENU);
    main->categoryMenu = LoadContextMenu(main->options.instance, IDM_CATEGORY_MENU);
}

static void SetWindowIcons(MainWindow* main) {
    HICON big = LoadIconA(main->options.instance, MAKEINTRESOURCEA(IDI_APP));
    HICON small = (HICON)LoadImageA(main->options.instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, ImageSize,
                                    ImageSize, 0);
    SendMessageA(main->window, WM_SETICON, ICON_BIG, (LPARAM)big);
    SendMessageA(main->window, WM_SETICON, ICON_SMALL, (LPARAM)small);
}

// Everything the window does before it first takes messages, in order.
static void InitMainWindow(MainWindow* main, HWND window) {
    main->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)main);
    OpenWindowCalls(window);
    main->portListThread.window = window;
    main->startHidden = 0;
    CreateImageLists(main);
    main->startHidden = StartsHidden(main->options.commandLine);
    if (!main->startHidden) SetEvent(main->shownEvent);
    SetCaptionFonts(main);
    SetWindowTextA(window, ManagerTitle);
    main->northSouthCursor = LoadCursorA(nullptr, (LPCSTR)IDC_SIZENS);
    main->westEastCursor = LoadCursorA(nullptr, (LPCSTR)IDC_SIZEWE);
    main->splitterDrag = SplitterIdle;
    PrepareTemplateLists(main);
    CreateServerLists(main);
    FillPortAndCategoryLists(main);
    LoadContextMenus(main);
    if (main->options.loadState) PrepareDataFolder(&main->paths);
    CreateStatusBar(main);
    LoadManagerState(main);
    LayOutWindow(main);
    SetWindowIcons(main);
    if (main->options.startMonitor) StartPortMonitor(&main->monitor, &main->portListThread, &main->ports, &main->host);
    PortOutcome started = PortsDone;
    if (main->options.startPorts) started = StartEnabledPorts(&main->ports, main->options.table, &main->host);
    if (main->options.startUpdateCheck)
        StartUpdateCheck(&main->updateCheck, VersionUrl(main->service).c_str(), IsNeverResolvable(main->service),
                         &main->updateWindow);
    SetStatusText(main, 0, started == PortServerTooLong ? PortServerTooLongText : nullptr);
    UpdateServerCounts(main);
    RefreshCategoryLabels(&main->catalogue);
    RebuildMoveMenu(main);
    SetTrayIcon(main, 1);
}

MainWindow* MainWindowOf(HWND window) { return (MainWindow*)GetWindowLongPtrA(window, GWLP_USERDATA); }

// ---- messages ----

static void SwitchCategory(MainWindow* main) {
    int index = NextSelectedRow(main->categoryList, 0);
    if (index < 0 || index >= (int)main->catalogue.categories.size()) return;
    HWND shown = CurrentServerList(main);
    Box box = ChildBox(main, shown);
    ShowWindow(shown, SW_HIDE);
    main->catalogue.currentSlot = main->catalogue.categories[index].slot;
    HWND current = CurrentServerList(main);
    MoveChild(current, box);
    ShowWindow(current, SW_SHOW);
    UpdateServerCounts(main);
}

const WORD SelectAllKey = 'A';

static int ControlKeyDown() { return GetKeyState(VK_CONTROL) < 0; }

static void OnListKey(MainWindow* main, const NMLVKEYDOWN* key) {
    HWND list = key->hdr.hwndFrom;
    int serverList = IsServerList(main, list);
    if (key->wVKey == VK_DELETE) {
        if (serverList) RunCommand(main, IDM_REMOVE_SERVER);
        else if (list == main->portList) RunCommand(main, IDM_REMOVE_PORT);
    } else if (key->wVKey == SelectAllKey && ControlKeyDown() && (serverList || list == main->portList)) {
        // Ctrl+A, as in every multiple-selection list.
        SelectEveryRow(list, 1);
    }
}

static void OnNotify(MainWindow* main, NMHDR* header) {
    int serverList = IsServerList(main, header->hwndFrom);
    switch (header->code) {
    case LVN_GETDISPINFOA: FillDisplayInfoA(main, (NMLVDISPINFOA*)header); break;
    case LVN_GETDISPINFOW: FillDisplayInfoW(main, (NMLVDISPINFOW*)header); break;
    case NM_RCLICK: ShowContextMenu(main, serverList ? IDC_SERVER_LIST : (int)header->idFrom); break;
    case NM_DBLCLK:
        if (serverList) RunCommand(main, IDM_SWITCH_SERVER);
        break;
    case LVN_KEYDOWN: OnListKey(main, (NMLVKEYDOWN*)header); break;
    case LVN_ITEMCHANGED:
        if (header->hwndFrom == main->categoryList) SwitchCategory(main);
        break;
    case LVN_COLUMNCLICK:
        if (serverList) SortCurrentList(main, ((NMLISTVIEW*)header)->iSubItem);
        break;
    default: break;
    }
}

static INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        InitMainWindow((MainWindow*)lParam, window);
        return TRUE;
    }
    MainWindow* main = MainWindowOf(window);
    if (main == nullptr) return FALSE;
    // A new notification area (Explorer restarted) has lost the icon.
    if (message == TaskbarCreatedMessage()) {
        SetTrayIcon(main, 1);
        return FALSE;
    }
    switch (message) {
    case TrayCallbackMessage: OnTrayCallback(main, lParam); return TRUE;
    case WindowCallsMessage: RunWindowCalls(window); return TRUE;
    case WM_DESTROY: CloseWindowCalls(window); return FALSE;
    case WM_COMMAND: RunCommand(main, LOWORD(wParam)); return TRUE;
    case WM_NOTIFY: OnNotify(main, (NMHDR*)lParam); return TRUE;
    case WM_CLOSE: HideManager(main); return TRUE;
    // A manager that runs in the tray until logoff or shutdown saves then,
    // as at Exit; Windows ends the process after this message.
    case WM_ENDSESSION:
        if (wParam) SaveAtEnd(main);
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) LayOutWindow(main);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
        StartSplitterDrag(main, (unsigned)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return TRUE;
    case WM_TIMER: FollowSplitterDrag(main); return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (main->startHidden) ((WINDOWPOS*)lParam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    default: return FALSE;
    }
}

static MainWindow* NewMainWindow(const MainWindowOptions* options) {
    static int controlsReady = 0;
    if (!controlsReady) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        controlsReady = 1;
    }
    MainWindow* main = new MainWindow();
    main->options = *options;
    main->catalogueView.main = main;
    main->portView.main = main;
    main->state.main = main;
    main->testRunWindow.main = main;
    main->downloadWindow.main = main;
    main->updateWindow.main = main;
    main->shellOpen = OpenWithShell;
    main->messageBox = ShowMessageBox;
    main->saveDialog = GetSaveFileNameA;
    main->openDialog = GetOpenFileNameA;
    main->notifyIcon = Shell_NotifyIconA;
    main->service.host = DefaultServiceHost;
    main->shownEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    main->closingEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    main->probeEngine = ProcessProbeEngine();
    main->probeTickMilliseconds = ProbeTickMilliseconds;
    main->localTime = GetLocalTime;
    InitCatalogue(&main->catalogue, nullptr);
    InitPortList(&main->ports, nullptr);
    InitSortState(&main->sort);
    return main;
}

INT_PTR RunMainWindow(const MainWindowOptions* options) {
    MainWindow* main = NewMainWindow(options);
    return DialogBoxParamA(options->instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, (LPARAM)main);
}

HWND CreateMainWindow(const MainWindowOptions* options) {
    MainWindow* main = NewMainWindow(options);
    HWND window = CreateDialogParamA(options->instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc,
                                     (LPARAM)main);
    if (window == nullptr) delete main;
    return window;
}

const DWORD WebServiceStopMilliseconds = 5000;

// The update thread and any download thread let go of the window before it
// goes: their window calls end, the offer closes, the transfers stop.
static void StopWebService(MainWindow* main) {
    CloseWindowCalls(main->window);
    SetEvent(main->closingEvent);
    // The offer runs on this thread: one still open ends with its loop.
    if (main->offerDialog != nullptr) EndDialog(main->offerDialog, IDCANCEL);
    StopUpdateCheck(&main->updateCheck, WebServiceStopMilliseconds);
    for (DWORD waited = 0; RunningListDownloads() > 0 && waited < WebServiceStopMilliseconds; waited += 10) Sleep(10);
}

void DestroyMainWindow(HWND window) {
    MainWindow* main = MainWindowOf(window);
    if (main == nullptr) return;
    StopPortMonitor(&main->monitor);
    StopWebService(main);
    SetTrayIcon(main, 0);
    DestroyWindow(window);
    CloseHandle(main->shownEvent);
    CloseHandle(main->closingEvent);
    DeleteObject(main->captionFont);
    ImageList_Destroy(main->statusImages);
    ImageList_Destroy(main->categoryImages);
    delete main;
}
