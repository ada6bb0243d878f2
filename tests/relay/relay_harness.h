// Plays the manager around a real relay process; clients and upstream
// servers on 127.0.0.1 come from the loopback sockets.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "shared/port_table.h"
#include "tests/support/loopback_sockets.h"
#include "tests/support/programs.h"

// The manager's side of the contract: the shared table and the
// manager-alive event, as the manager creates them at start-up.
class ManagerSide {
public:
    bool Start(bool withTable = true);
    void End();  // the manager's end: its objects go away
    void SetEntry(int index, int port, const char* server, int enabled = 1);
    void SetLocalOnly(int flag) { table->localOnly = (uint8_t)flag; }
    bool Signal(const std::string& portText);  // sets the port's event, as a switch does
    static bool RelayRunning(const std::string& portText);
    SharedPortTable* table = nullptr;

private:
    HANDLE mapping = nullptr;
    HANDLE aliveEvent = nullptr;
};

bool WaitForExit(HANDLE process, DWORD milliseconds);

// Runs a function on a thread of its own; Join waits for it.
class Worker {
public:
    template <typename F>
    explicit Worker(F function) : call(new Call<F>(function)) {
        thread = CreateThread(nullptr, 0, Run, call, 0, nullptr);
    }
    ~Worker() { Join(); }
    void Join() {
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
            thread = nullptr;
            delete call;
            call = nullptr;
        }
    }

private:
    struct CallBase {
        virtual ~CallBase() {}
        virtual void Invoke() = 0;
    };
    template <typename F>
    struct Call : CallBase {
        explicit Call(F f) : function(f) {}
        void Invoke() override { function(); }
        F function;
    };
    static DWORD WINAPI Run(LPVOID parameter) {
        static_cast<CallBase*>(parameter)->Invoke();
        return 0;
    }
    CallBase* call;
    HANDLE thread;
};
