// The manager's store of upstream servers: 19 server lists (one per category
// slot), the categories in display order, the user-slot flags and the
// current category. Views follow it through a CatalogueObserver; the model
// knows nothing of windows.
#pragma once

#include <string>
#include <vector>

#include "proxy_server.h"

const int CategorySlotCount = 19;
const int UserSlotCount = 16;
const int MyProxyServersSlot = 16;
const int NewSlot = 17;
const int DeadSlot = 18;
const int BuiltInCategoryCount = 3;

// AddServerRow's outcomes besides a row index.
const int AddDuplicate = -1;
const int AddInvalid = -2;

// A category's count before the labels are first refreshed: its label is
// then its name alone.
const int NoCountShown = -1;

// A category: the user's name (any text, parentheses included), its slot,
// and the count its label showed at the last RefreshCategoryLabels.
struct Category {
    std::string name;
    int slot;
    int shownCount = NoCountShown;
};

// What a view needs to follow the model. Every call comes after the change.
class CatalogueObserver {
public:
    virtual ~CatalogueObserver() {}
    virtual void ServerInserted(int slot, int row) {}
    virtual void ServerRemoved(int slot, int row) {}
    virtual void ServerChanged(int slot, int row) {}
    virtual void ServerListReset(int slot) {}  // many rows at once: added, removed or reordered
    virtual void CategoryInserted(int index) {}
    virtual void CategoryRemoved(int index) {}
    virtual void CategoryLabelChanged(int index) {}
};

struct ProxyCatalogue {
    ServerList lists[CategorySlotCount];
    std::vector<Category> categories;  // built-in three first, then the user's
    int slotInUse[UserSlotCount];
    int currentSlot;                   // the list the server view shows
    CatalogueObserver* observer;       // may be null
    int fileUnread;                    // the catalogue file existed at load but could not be read
};

// An empty catalogue: 19 empty lists, the three built-in categories,
// no user slot taken, "My Proxy Servers" current.
void InitCatalogue(ProxyCatalogue* catalogue, CatalogueObserver* observer);

// Whether an address text can be stored in the catalogue file, whose lines
// are ';'-separated fields: it holds no ';', CR or LF.
int FitsCatalogueFile(const char* address);

// Appends a server to a slot's list. Returns the new row's index, or
// AddInvalid (no ':', a port part that reads as 0, or an address holding
// ';', CR or LF, which the catalogue file cannot carry), or AddDuplicate (the
// list holds the address already, letter case ignored).
int AddServerRow(ProxyCatalogue* catalogue, int slot, const char* address, int typeFlag, int statusCode);

// Sets a row's icon from its status text.
void RefreshStatusIcon(ProxyCatalogue* catalogue, int slot, int row);

// Sets one text of a row (cut to 255 characters); a status change also
// refreshes the icon.
void SetServerText(ProxyCatalogue* catalogue, int slot, int row, int column, const char* text);

void RemoveServerRow(ProxyCatalogue* catalogue, int slot, int row);

// Operations over many rows: one pass over the list and one ServerListReset
// for each list whose rows changed, with the outcome of the same rows
// handled one by one. Row numbers may come in any order; those that do not
// exist are passed over.

// A server as AddServerRow takes it.
struct NewServer {
    std::string address;
    int typeFlag;
    int statusCode;
};

// AddServerRow for each server, in order; returns how many rows were added.
int AddServerRows(ProxyCatalogue* catalogue, int slot, const std::vector<NewServer>& servers);
// Deletes the rows; the others keep their order.
void RemoveServerRows(ProxyCatalogue* catalogue, int slot, const std::vector<int>& rows);
// MoveServerToCategory for the rows of the current list: they arrive in the
// order in which they stood; a row whose address the target holds already
// (or met earlier in the same move) is dropped from the source.
void MoveServersToCategory(ProxyCatalogue* catalogue, const std::vector<int>& rows, int targetSlot);

// Every label shows its list's row count now: "name(count)".
void RefreshCategoryLabels(ProxyCatalogue* catalogue);

// The label the category list shows: the name followed by "(count)" with
// the count of the last refresh (the name alone before it), cut to 255
// characters.
std::string CategoryLabel(const Category& category);

// Moves a row of the current list to the target slot's list: status kept,
// delay and last check emptied. A target that holds the address already
// keeps its own row; the moved one is gone.
void MoveServerToCategory(ProxyCatalogue* catalogue, int row, int targetSlot);

// Takes the lowest free user slot; with all 16 taken nothing is added.
void AddCategory(ProxyCatalogue* catalogue, const char* name);
void RenameCategory(ProxyCatalogue* catalogue, int index, const char* name);
// User categories only; the removed category's list is emptied at once so
// that a category created later in the slot starts empty.
void RemoveCategory(ProxyCatalogue* catalogue, int index);

int IsBuiltInSlot(int slot);
// Index in the category list of the category holding the slot, or -1.
int CategoryIndexOfSlot(const ProxyCatalogue* catalogue, int slot);
