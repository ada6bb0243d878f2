// The mapped ports: the rows of the mapped-port list and the manager's side
// of their relays (the shared port table, port events and relay launches).
// The system calls go through RelayHost, so that the rules run and are
// tested without Windows.
#pragma once

#include <vector>

#include "../../shared/port_table.h"
#include "mapped_port.h"

// What a view of the mapped-port list needs to follow it.
class PortListObserver {
public:
    virtual ~PortListObserver() {}
    virtual void PortInserted(int row) {}
    virtual void PortRemoved(int row) {}
    virtual void PortChanged(int row) {}
};

struct MappedPortList {
    std::vector<MappedPort> rows;
    PortListObserver* observer;
};

// The system behind the relays.
class RelayHost {
public:
    virtual ~RelayHost() {}
    // Opens the port's event; 0 when it cannot be opened (no relay runs).
    virtual int OpenPortEvent(const char* eventName) = 0;
    // Sets the event opened last, then closes it.
    virtual void SetAndClosePortEvent() = 0;
    virtual void ClosePortEvent() = 0;
    // Launches the relay next to the manager's program with the port text.
    virtual void StartRelay(const char* portText) = 0;
    // 1 while a relay process launched for the port value lives: one that is
    // still starting up has no event yet.
    virtual int RelayProcessLives(int port) = 0;
    // 1 when a relay runs for the port text (its event can be opened). Keeps
    // no state: the port monitor asks it from its own thread.
    virtual int RelayRuns(const char* portText) = 0;
};

void InitPortList(MappedPortList* list, PortListObserver* observer);
void AppendPortRow(MappedPortList* list, const MappedPort& port);
void SetPortText(MappedPortList* list, int row, int column, const char* text);
void RemovePortRow(MappedPortList* list, int row);
int PortValue(const MappedPort& port);

// Inserts a new stopped port at the top; nothing when a row has a port of
// the same value.
void AddMappedPort(MappedPortList* list, const char* name, const char* portText);

// What a start or a switch of ports came to: done (or nothing to do), or
// refused for a server text longer than the table's entry holds; the
// ports then keep what they had.
enum PortOutcome { PortsDone = 0, PortServerTooLong = 1 };

// Starts (flag 1) or stops (flag 0) the row's relay. A port whose relay does
// not run takes an entry: first one left in use for the same port by a relay
// that ended by itself, then a free one, and when none is free the entries of
// ports without a running or starting relay are freed first. A port whose
// server does not fit an entry is not started.
PortOutcome SetPortEnabled(MappedPortList* list, int row, int flag, SharedPortTable* table, RelayHost* host);

// Hands the row's current server to its running relay.
void SwitchPortServer(MappedPortList* list, int row, SharedPortTable* table, RelayHost* host);
// The commands over the selected rows take them ascending, as the view
// gives them; rows that do not exist are passed over.

// Gives the server to every selected row and to their relays; a server
// that does not fit an entry goes to none of them.
PortOutcome SwitchSelectedPorts(MappedPortList* list, const std::vector<int>& selected, const char* server,
                                SharedPortTable* table, RelayHost* host);
// SetPortEnabled for every selected row; PortServerTooLong when any was not
// started for it.
PortOutcome SetSelectedPortsEnabled(MappedPortList* list, const std::vector<int>& selected, int flag,
                                    SharedPortTable* table, RelayHost* host);
// Sets the event of every row's relay (after a change of the local-only flag).
void NotifyAllRelays(MappedPortList* list, RelayHost* host);
// Renames the row and, when the number changed, moves its relay.
PortOutcome EditMappedPort(MappedPortList* list, int row, const char* name, const char* portText,
                           SharedPortTable* table, RelayHost* host);
// Stops and deletes every selected row.
void RemoveSelectedPorts(MappedPortList* list, const std::vector<int>& selected, SharedPortTable* table,
                         RelayHost* host);
// Starts every row whose status reads exactly "Enabled" (at start-up).
PortOutcome StartEnabledPorts(MappedPortList* list, SharedPortTable* table, RelayHost* host);
