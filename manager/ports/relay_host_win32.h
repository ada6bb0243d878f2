// The relays' side of the system on Windows: port events, relay launches,
// the shared port table's mapping and the port monitor thread.
#pragma once

#include <windows.h>

#include <vector>

#include "mapped_ports.h"

class WindowsRelayHost : public RelayHost {
public:
    ~WindowsRelayHost() override;
    int OpenPortEvent(const char* eventName) override;
    void SetAndClosePortEvent() override;
    void ClosePortEvent() override;
    void StartRelay(const char* portText) override;
    int RelayProcessLives(int port) override;

private:
    // The relay processes launched and not yet seen to end.
    struct LaunchedRelay {
        int port;
        HANDLE process;
    };
    void ForgetEndedRelays();
    HANDLE event = nullptr;
    std::vector<LaunchedRelay> launched;
};

// 1 when a relay runs for the port text (its event can be opened).
int RelayRunning(const char* portText);

// Creates and maps the shared table and writes its header; null on failure.
SharedPortTable* CreateSharedPortTable(HANDLE* mapping);

// The port monitor: once a second every row's status follows whether its
// relay runs. The rows are reached only on the window thread.
struct PortMonitor {
    HWND window;
    MappedPortList* list;
    volatile LONG stop;
    HANDLE thread;
};

void StartPortMonitor(PortMonitor* monitor, HWND window, MappedPortList* list);
// Asks the thread to end and waits for it, serving its calls meanwhile.
void StopPortMonitor(PortMonitor* monitor);
// One pass over the rows (what the thread does each second).
void MonitorPortsOnce(PortMonitor* monitor);
