// The main window's list views as views of the models: the owner-data server
// lists, one per category slot, and the category and mapped-port lists. They
// hold no text: each cell is read from the models when it is drawn.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "../catalogue/proxy_catalogue.h"
#include "../ports/mapped_ports.h"

struct MainWindow;

// The server lists and the category list follow the catalogue.
struct CatalogueView : public CatalogueObserver {
    MainWindow* main = nullptr;
    void ServerInserted(int slot, int row) override;
    void ServerRemoved(int slot, int row) override;
    void ServerChanged(int slot, int row) override;
    void ServerListReset(int slot) override;
    void CategoryInserted(int index) override;
    void CategoryRemoved(int index) override;
    void CategoryLabelChanged(int index) override;
};

// The mapped-port list follows the port rows.
struct PortListView : public PortListObserver {
    MainWindow* main = nullptr;
    void PortInserted(int row) override;
    void PortRemoved(int row) override;
    void PortChanged(int row) override;
};

HWND CurrentServerList(MainWindow* main);
// The slot whose server list the window is, or -1 for any other window.
int SlotOfServerList(MainWindow* main, HWND list);
// A server list, or the template they were made from.
int IsServerList(MainWindow* main, HWND control);

// A list's request for a cell (LVN_GETDISPINFO).
void FillDisplayInfoA(MainWindow* main, NMLVDISPINFOA* info);
void FillDisplayInfoW(MainWindow* main, NMLVDISPINFOW* info);

// Selection of a list view: the first selected row at or after from, or -1.
int NextSelectedRow(HWND list, int from);
// Selects (1) or clears (0) every row of a list.
void SelectEveryRow(HWND list, int selected);
// The selected rows, ascending.
std::vector<int> SelectedRows(HWND list);
