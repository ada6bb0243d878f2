#include "relay_host_win32.h"

#include <shellapi.h>

#include <cstring>
#include <string>

#include "../../shared/number_text.h"
#include "../../shared/row_text.h"

static const char* const RelayProgramName = "TessaronRelay.exe";
static const char* const ShellOpenVerb = "open";
const DWORD MonitorPeriodMs = 1000;
const DWORD MonitorSliceMs = 50;

int WindowsRelayHost::OpenPortEvent(const char* eventName) {
    event = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, eventName);
    return event != nullptr;
}

void WindowsRelayHost::SetAndClosePortEvent() {
    if (event == nullptr) return;
    SetEvent(event);
    ClosePortEvent();
}

void WindowsRelayHost::ClosePortEvent() {
    if (event != nullptr) CloseHandle(event);
    event = nullptr;
}

std::string ManagerProgramFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) return "";
    slash[1] = 0;
    return path;
}

WindowsRelayHost::~WindowsRelayHost() {
    for (const LaunchedRelay& relay : launched) CloseHandle(relay.process);
}

static int HasEnded(HANDLE process) { return WaitForSingleObject(process, 0) != WAIT_TIMEOUT; }

void WindowsRelayHost::ForgetEndedRelays() {
    for (size_t i = 0; i < launched.size();) {
        if (!HasEnded(launched[i].process)) {
            ++i;
            continue;
        }
        CloseHandle(launched[i].process);
        launched.erase(launched.begin() + i);
    }
}

// The shell's "open" as ShellExecuteA does it; the process handle is kept so
// that the entry of a relay still starting up is not taken for a free one.
void WindowsRelayHost::StartRelay(const char* portText) {
    // Only by its full path: a bare name would be looked for in the current
    // folder, which is not the manager's to choose.
    std::string folder = ManagerProgramFolder();
    if (folder.empty()) return;
    std::string program = folder + RelayProgramName;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;  // a failed launch shows no message
    info.lpVerb = ShellOpenVerb;
    info.lpFile = program.c_str();
    info.lpParameters = portText;
    info.nShow = SW_HIDE;
    ForgetEndedRelays();
    if (ShellExecuteExA(&info) && info.hProcess != nullptr)
        launched.push_back(LaunchedRelay{ReadNumber(portText), info.hProcess});
}

int WindowsRelayHost::RelayProcessLives(int port) {
    ForgetEndedRelays();
    for (const LaunchedRelay& relay : launched)
        if (relay.port == port) return 1;
    return 0;
}

int WindowsRelayHost::RelayRuns(const char* portText) {
    char name[KernelNameSize];
    PortEventName(portText, name);
    HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name);
    if (event == nullptr) return 0;
    CloseHandle(event);
    return 1;
}

SharedPortTable* CreateSharedPortTable(HANDLE* mapping) {
    *mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, SharedTableSize, MainMappingName);
    if (*mapping == nullptr) return nullptr;
    void* view = MapViewOfFile(*mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) return nullptr;
    SharedPortTable* table = (SharedPortTable*)view;
    WriteTableHeader(table);
    return table;
}

// One monitor step, carried between the worker and the window thread.
struct MonitorStep {
    MappedPortList* list;
    int row;
    int exists;
    char port[RowTextSize];
    int running;
};

// On the window thread: the row's port text, if the row still exists.
static void ReadStepPort(void* argument) {
    MonitorStep* step = (MonitorStep*)argument;
    step->exists = step->row < (int)step->list->rows.size();
    if (!step->exists) return;
    std::strncpy(step->port, step->list->rows[step->row].text[PortNumber].c_str(), sizeof step->port - 1);
    step->port[sizeof step->port - 1] = 0;
}

// On the window thread: the status, for the same row if it still holds the port.
static void WriteStepStatus(void* argument) {
    MonitorStep* step = (MonitorStep*)argument;
    if (step->row >= (int)step->list->rows.size()) return;
    const MappedPort& row = step->list->rows[step->row];
    if (row.text[PortNumber] != step->port) return;
    const char* status = step->running ? PortEnabledText : PortDisabledText;
    if (row.text[PortStatus] != status) SetPortText(step->list, step->row, PortStatus, status);
}

void MonitorPortsOnce(PortMonitor* monitor) {
    MonitorStep step = {};
    step.list = monitor->list;
    for (step.row = 0; monitor->stop == 0; ++step.row) {
        if (!monitor->owner->RunCall(ReadStepPort, &step) || !step.exists) return;
        step.running = monitor->host->RelayRuns(step.port);
        if (!monitor->owner->RunCall(WriteStepStatus, &step)) return;
    }
}

static DWORD WINAPI PortMonitorThread(LPVOID argument) {
    PortMonitor* monitor = (PortMonitor*)argument;
    while (monitor->stop == 0) {
        MonitorPortsOnce(monitor);
        for (DWORD waited = 0; waited < MonitorPeriodMs && monitor->stop == 0; waited += MonitorSliceMs)
            Sleep(MonitorSliceMs);
    }
    return 0;
}

void StartPortMonitor(PortMonitor* monitor, PortListThread* owner, MappedPortList* list, RelayHost* host) {
    monitor->owner = owner;
    monitor->list = list;
    monitor->host = host;
    monitor->stop = 0;
    monitor->thread = CreateThread(nullptr, 0, PortMonitorThread, monitor, 0, nullptr);
}

void StopPortMonitor(PortMonitor* monitor) {
    if (monitor->thread == nullptr) return;
    InterlockedExchange(&monitor->stop, 1);
    // The thread may be waiting in a call to this thread: keep serving them.
    monitor->owner->WaitServingCalls(monitor->thread);
    CloseHandle(monitor->thread);
    monitor->thread = nullptr;
}
