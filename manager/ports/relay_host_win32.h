// The relays' side of the system on Windows: port events, relay launches,
// the shared port table's mapping and the port monitor thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "mapped_ports.h"

// The folder of the manager's own program, with its trailing backslash
// ("" when the path does not fit): the relay program and the help file
// stand there.
std::string ManagerProgramFolder();

class WindowsRelayHost : public RelayHost {
public:
    ~WindowsRelayHost() override;
    int OpenPortEvent(const char* eventName) override;
    void SetAndClosePortEvent() override;
    void ClosePortEvent() override;
    void StartRelay(const char* portText) override;
    int RelayProcessLives(int port) override;
    int RelayRuns(const char* portText) override;

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

// Creates and maps the shared table and writes its header; null on failure.
SharedPortTable* CreateSharedPortTable(HANDLE* mapping);

// The thread that owns the mapped-port list, as the port monitor reaches
// it. The window supplies it: this code knows no window.
class PortListThread {
public:
    virtual ~PortListThread() {}
    // Runs function(argument) on that thread and waits for it: 1 when it
    // ran, 0 when it never will (the window is closing).
    virtual int RunCall(void (*function)(void* argument), void* argument) = 0;
    // On that thread: waits for the handle while running the calls that come.
    virtual void WaitServingCalls(HANDLE handle) = 0;
};

// The port monitor: once a second every row's status follows whether its
// relay runs. The rows are reached only on the thread that owns them.
struct PortMonitor {
    PortListThread* owner;
    MappedPortList* list;
    RelayHost* host;
    volatile LONG stop;
    HANDLE thread;
};

void StartPortMonitor(PortMonitor* monitor, PortListThread* owner, MappedPortList* list, RelayHost* host);
// Asks the thread to end and waits for it, serving its calls meanwhile.
void StopPortMonitor(PortMonitor* monitor);
// One pass over the rows (what the thread does each second).
void MonitorPortsOnce(PortMonitor* monitor);
