#include "mapped_ports.h"

#include <cstdio>
#include <cstring>

#include "../../shared/number_text.h"
#include "../../shared/row_text.h"

static PortListObserver NoObserver;

int PortStatusIcon(const char* status) {
    if (std::strcmp(status, PortEnabledText) == 0) return 0;
    if (std::strcmp(status, PortDisabledText) == 0) return 1;
    return 2;
}

static PortListObserver* Observer(MappedPortList* list) {
    return list->observer != nullptr ? list->observer : &NoObserver;
}

void InitPortList(MappedPortList* list, PortListObserver* observer) {
    list->rows.clear();
    list->observer = observer;
}

static MappedPort CutPort(const MappedPort& port) {
    MappedPort cut;
    for (int column = 0; column < PortColumnCount; ++column) cut.text[column] = RowText(port.text[column].c_str());
    return cut;
}

void AppendPortRow(MappedPortList* list, const MappedPort& port) {
    list->rows.push_back(CutPort(port));
    Observer(list)->PortInserted((int)list->rows.size() - 1);
}

void SetPortText(MappedPortList* list, int row, int column, const char* text) {
    list->rows[row].text[column] = RowText(text);
    Observer(list)->PortChanged(row);
}

void RemovePortRow(MappedPortList* list, int row) {
    list->rows.erase(list->rows.begin() + row);
    Observer(list)->PortRemoved(row);
}

int PortValue(const MappedPort& port) { return ReadNumber(port.text[PortNumber].c_str()); }

void AddMappedPort(MappedPortList* list, const char* name, const char* portText) {
    int value = ReadNumber(portText);
    for (const MappedPort& row : list->rows) {
        if (PortValue(row) == value) return;
    }
    MappedPort port;
    port.text[PortName] = name;
    port.text[PortNumber] = portText;
    port.text[PortStatus] = PortDisabledText;
    port.text[PortServer] = NoServerText;
    list->rows.insert(list->rows.begin(), CutPort(port));
    Observer(list)->PortInserted(0);
}

// Entries left in use by relays that ended by themselves stay taken; they
// are reclaimed here rather than lost. FindPortEntry's rule is unchanged.
static int TakeEntryFor(SharedPortTable* table, int value, RelayHost* host, const MappedPortList* list) {
    int entry = FindPortEntry(table, value);
    if (entry != NoPortEntry) return entry;
    entry = FindFreePortEntry(table);
    if (entry != NoPortEntry) return entry;
    for (int i = 0; i < PortEntryCount; ++i) {
        char decimal[16];
        std::snprintf(decimal, sizeof decimal, "%d", table->ports[i].port);
        // A relay launched moments ago has no event yet; its entry is not free.
        int running = host->RelayRuns(decimal) || host->RelayProcessLives(table->ports[i].port);
        for (const MappedPort& row : list->rows) {
            if (PortValue(row) == table->ports[i].port && host->RelayRuns(row.text[PortNumber].c_str())) running = 1;
        }
        if (!running) table->ports[i].inUse = 0;
    }
    return FindFreePortEntry(table);
}

PortOutcome SetPortEnabled(MappedPortList* list, int row, int flag, SharedPortTable* table, RelayHost* host) {
    const MappedPort& port = list->rows[row];
    int value = PortValue(port);
    char name[KernelNameSize];
    PortEventName(port.text[PortNumber].c_str(), name);
    if (!host->OpenPortEvent(name)) {
        if (flag == 0) return PortsDone;
        if (!FitsPortEntry(port.text[PortServer].c_str())) return PortServerTooLong;
        int entry = TakeEntryFor(table, value, host, list);
        if (entry == NoPortEntry) return PortsDone;
        table->ports[entry].inUse = 1;
        table->ports[entry].port = value;
        SetEntryServer(&table->ports[entry], port.text[PortServer].c_str());
        table->ports[entry].enabled = 1;
        host->StartRelay(port.text[PortNumber].c_str());
        return PortsDone;
    }
    int entry = FindPortEntry(table, value);
    if (entry == NoPortEntry) {
        host->ClosePortEvent();
        return PortsDone;
    }
    table->ports[entry].enabled = flag;
    if (flag == 0) table->ports[entry].inUse = 0;
    host->SetAndClosePortEvent();
    return PortsDone;
}

void SwitchPortServer(MappedPortList* list, int row, SharedPortTable* table, RelayHost* host) {
    const MappedPort& port = list->rows[row];
    int entry = FindPortEntry(table, PortValue(port));
    if (entry == NoPortEntry) return;
    SetEntryServer(&table->ports[entry], port.text[PortServer].c_str());
    char name[KernelNameSize];
    PortEventName(port.text[PortNumber].c_str(), name);
    if (host->OpenPortEvent(name)) host->SetAndClosePortEvent();
}

static int RowExists(const MappedPortList* list, int row) { return row >= 0 && row < (int)list->rows.size(); }

static PortOutcome Worse(PortOutcome a, PortOutcome b) { return a != PortsDone ? a : b; }

PortOutcome SwitchSelectedPorts(MappedPortList* list, const std::vector<int>& selected, const char* server,
                                SharedPortTable* table, RelayHost* host) {
    if (!FitsPortEntry(server)) return PortServerTooLong;
    for (int row : selected) {
        if (!RowExists(list, row)) continue;
        SetPortText(list, row, PortServer, server);
        SwitchPortServer(list, row, table, host);
    }
    return PortsDone;
}

PortOutcome SetSelectedPortsEnabled(MappedPortList* list, const std::vector<int>& selected, int flag,
                                    SharedPortTable* table, RelayHost* host) {
    PortOutcome outcome = PortsDone;
    for (int row : selected)
        if (RowExists(list, row)) outcome = Worse(outcome, SetPortEnabled(list, row, flag, table, host));
    return outcome;
}

void NotifyAllRelays(MappedPortList* list, RelayHost* host) {
    for (const MappedPort& port : list->rows) {
        char name[KernelNameSize];
        PortEventName(port.text[PortNumber].c_str(), name);
        if (host->OpenPortEvent(name)) host->SetAndClosePortEvent();
    }
}

PortOutcome EditMappedPort(MappedPortList* list, int row, const char* name, const char* portText,
                           SharedPortTable* table, RelayHost* host) {
    SetPortText(list, row, PortName, name);
    if (ReadNumber(portText) == PortValue(list->rows[row])) return PortsDone;
    SetPortEnabled(list, row, 0, table, host);
    SetPortText(list, row, PortNumber, portText);
    // The status shown before the edit: the monitor has not refreshed it yet.
    if (list->rows[row].text[PortStatus] == PortEnabledText) return SetPortEnabled(list, row, 1, table, host);
    return PortsDone;
}

void RemoveSelectedPorts(MappedPortList* list, const std::vector<int>& selected, SharedPortTable* table,
                         RelayHost* host) {
    // Each deletion moves the rows below it up by one.
    int removed = 0;
    for (int row : selected) {
        int now = row - removed;
        if (!RowExists(list, now)) continue;
        SetPortEnabled(list, now, 0, table, host);
        RemovePortRow(list, now);
        ++removed;
    }
}

PortOutcome StartEnabledPorts(MappedPortList* list, SharedPortTable* table, RelayHost* host) {
    // The rows are chosen before any relay is launched: a launch may let the
    // window serve the port monitor, which would mark the rows not yet
    // started "Disabled".
    std::vector<int> enabled;
    for (int row = 0; row < (int)list->rows.size(); ++row)
        if (list->rows[row].text[PortStatus] == PortEnabledText) enabled.push_back(row);
    PortOutcome outcome = PortsDone;
    for (int row : enabled) outcome = Worse(outcome, SetPortEnabled(list, row, 1, table, host));
    return outcome;
}
