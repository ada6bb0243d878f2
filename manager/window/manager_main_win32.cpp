// Tessaron.exe: one manager per session, the shared port table, Windows
// Sockets, then the main window for the rest of the process's life.
#include <winsock2.h>
#include <windows.h>

#include "../../shared/port_table.h"
#include "../ports/relay_host_win32.h"
#include "main_window_win32.h"

const WORD WinsockVersion = MAKEWORD(1, 1);

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The manager-alive event: the relays watch it, and a second manager
    // finds it and leaves silently.
    HANDLE alive = CreateEventA(nullptr, FALSE, FALSE, MainEventName);
    if (alive == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) ExitProcess(0);

    HANDLE mapping = nullptr;
    SharedPortTable* table = CreateSharedPortTable(&mapping);
    static SharedPortTable unshared;  // relays cannot be steered, the window still works
    if (table == nullptr) table = &unshared;

    WSADATA winsock;
    WSAStartup(WinsockVersion, &winsock);
    ProcessProbeEngine();  // the probe thread waits from start-up on

    MainWindowOptions options = {};
    options.instance = instance;
    options.table = table;
    options.commandLine = GetCommandLineA();
    options.loadState = 1;
    options.startMonitor = 1;
    options.startPorts = 1;
    options.startUpdateCheck = 1;
    RunMainWindow(&options);
    ExitProcess(0);
}
