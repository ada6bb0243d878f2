#include "proxy_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "../../shared/address_text.h"
#include "../../shared/number_text.h"
#include "catalogue_texts.h"

static CatalogueObserver NoObserver;

static CatalogueObserver* Observer(ProxyCatalogue* catalogue) {
    return catalogue->observer != nullptr ? catalogue->observer : &NoObserver;
}

void InitCatalogue(ProxyCatalogue* catalogue, CatalogueObserver* observer) {
    for (ServerList& list : catalogue->lists) list.Clear();
    catalogue->categories.clear();
    catalogue->categories.push_back(Category{MyProxyServersName, MyProxyServersSlot});
    catalogue->categories.push_back(Category{NewCategoryName, NewSlot});
    catalogue->categories.push_back(Category{DeadCategoryName, DeadSlot});
    for (int& flag : catalogue->slotInUse) flag = 0;
    catalogue->currentSlot = MyProxyServersSlot;
    catalogue->observer = observer;
    catalogue->fileUnread = 0;
}

static int IsValidSlot(int slot) { return slot >= 0 && slot < CategorySlotCount; }

int IsBuiltInSlot(int slot) { return slot >= UserSlotCount && slot < CategorySlotCount; }

int FitsCatalogueFile(const char* address) { return std::strpbrk(address, ";\r\n") == nullptr; }

static const char* TypeText(int typeFlag) { return typeFlag == Http ? TypeHttpText : TypeSocksText; }

static const char* StatusText(int statusCode) {
    switch (statusCode) {
    case StatusCodeUntested: return StatusUntestedText;
    case StatusCodeDead: return StatusDeadText;
    case StatusCodeAlive: return StatusAliveText;
    default: return "";
    }
}

// AddServerRow without telling the view: the bulk operations announce
// their lists once, at the end.
static int AppendServer(ProxyCatalogue* catalogue, int slot, std::string address, int typeFlag, int statusCode) {
    if (!IsValidSlot(slot)) return AddInvalid;
    // A row holds a C text of at most 255 characters.
    address.resize(std::min(std::strlen(address.c_str()), (size_t)RowTextSize - 1));
    const char* colon = std::strchr(address.c_str(), ':');
    if (colon == nullptr || ReadNumber(colon + 1) == 0 || !FitsCatalogueFile(address.c_str())) return AddInvalid;

    ProxyServer server;
    server.text[ServerAddress] = std::move(address);
    server.text[ServerTypeColumn] = TypeText(typeFlag);
    server.text[ServerStatus] = StatusText(statusCode);
    server.icon = StatusIcon(server.text[ServerStatus].c_str());
    int row = catalogue->lists[slot].AppendNew(std::move(server));
    return row >= 0 ? row : AddDuplicate;
}

int AddServerRow(ProxyCatalogue* catalogue, int slot, const char* address, int typeFlag, int statusCode) {
    int row = AppendServer(catalogue, slot, address, typeFlag, statusCode);
    if (row >= 0) Observer(catalogue)->ServerInserted(slot, row);
    return row;
}

int AddServerRows(ProxyCatalogue* catalogue, int slot, const std::vector<NewServer>& servers) {
    if (!IsValidSlot(slot)) return 0;
    int added = 0;
    catalogue->lists[slot].Reserve((int)servers.size());
    for (const NewServer& server : servers) {
        if (AppendServer(catalogue, slot, server.address, server.typeFlag, server.statusCode) >= 0) ++added;
    }
    if (added > 0) Observer(catalogue)->ServerListReset(slot);
    return added;
}

void RefreshStatusIcon(ProxyCatalogue* catalogue, int slot, int row) {
    ServerList& list = catalogue->lists[slot];
    list.SetIcon(row, StatusIcon(list.Row(row).text[ServerStatus].c_str()));
    Observer(catalogue)->ServerChanged(slot, row);
}

void SetServerText(ProxyCatalogue* catalogue, int slot, int row, int column, const char* text) {
    catalogue->lists[slot].SetText(row, column, text);
    if (column == ServerStatus) {
        RefreshStatusIcon(catalogue, slot, row);
    } else {
        Observer(catalogue)->ServerChanged(slot, row);
    }
}

void RemoveServerRow(ProxyCatalogue* catalogue, int slot, int row) {
    catalogue->lists[slot].Remove(row);
    Observer(catalogue)->ServerRemoved(slot, row);
}

// The rows that exist, ascending, each once.
static std::vector<int> ExistingRows(const ServerList& list, std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](int row) { return row < 0 || row >= list.Count(); }),
               rows.end());
    return rows;
}

void RemoveServerRows(ProxyCatalogue* catalogue, int slot, const std::vector<int>& rows) {
    if (!IsValidSlot(slot)) return;
    std::vector<int> removed = ExistingRows(catalogue->lists[slot], rows);
    if (removed.empty()) return;
    catalogue->lists[slot].RemoveRows(removed);
    Observer(catalogue)->ServerListReset(slot);
}

std::string CategoryLabel(const Category& category) {
    if (category.shownCount == NoCountShown) return RowText(category.name.c_str());
    char count[16];
    std::snprintf(count, sizeof count, CategoryCountFormat, category.shownCount);
    return RowText((category.name + count).c_str());
}

void RefreshCategoryLabels(ProxyCatalogue* catalogue) {
    for (int i = 0; i < (int)catalogue->categories.size(); ++i) {
        Category& category = catalogue->categories[i];
        int count = catalogue->lists[category.slot].Count();
        if (category.shownCount == count) continue;
        category.shownCount = count;
        Observer(catalogue)->CategoryLabelChanged(i);
    }
}

// A moved server keeps its type and its status; a row under test arrives
// as Untested.
static int MovedTypeFlag(const ProxyServer& server) {
    return EqualIgnoringCase(server.text[ServerTypeColumn].c_str(), "http") ? Http : Socks;
}

static int MovedStatusCode(const ProxyServer& server) {
    const char* status = server.text[ServerStatus].c_str();
    if (EqualIgnoringCase(status, "alive")) return StatusCodeAlive;
    if (EqualIgnoringCase(status, "dead")) return StatusCodeDead;
    return StatusCodeUntested;
}

void MoveServerToCategory(ProxyCatalogue* catalogue, int row, int targetSlot) {
    int source = catalogue->currentSlot;
    if (targetSlot == source || !IsValidSlot(targetSlot)) return;
    const ProxyServer& server = catalogue->lists[source].Row(row);
    std::string address = server.text[ServerAddress];
    int typeFlag = MovedTypeFlag(server);
    int statusCode = MovedStatusCode(server);
    RemoveServerRow(catalogue, source, row);
    AddServerRow(catalogue, targetSlot, address.c_str(), typeFlag, statusCode);
}

void MoveServersToCategory(ProxyCatalogue* catalogue, const std::vector<int>& rows, int targetSlot) {
    int source = catalogue->currentSlot;
    if (targetSlot == source || !IsValidSlot(targetSlot)) return;
    std::vector<int> moved = ExistingRows(catalogue->lists[source], rows);
    if (moved.empty()) return;
    const ServerList& from = catalogue->lists[source];
    ServerList& target = catalogue->lists[targetSlot];
    int targetCount = target.Count();
    target.Reserve((int)moved.size());
    for (int row : moved) {
        const ProxyServer& server = from.Row(row);
        AppendServer(catalogue, targetSlot, server.text[ServerAddress], MovedTypeFlag(server), MovedStatusCode(server));
    }
    catalogue->lists[source].RemoveRows(moved);
    Observer(catalogue)->ServerListReset(source);
    if (target.Count() != targetCount) Observer(catalogue)->ServerListReset(targetSlot);
}

void AddCategory(ProxyCatalogue* catalogue, const char* name) {
    for (int slot = 0; slot < UserSlotCount; ++slot) {
        if (catalogue->slotInUse[slot]) continue;
        catalogue->slotInUse[slot] = 1;
        catalogue->categories.push_back(Category{RowText(name), slot});
        Observer(catalogue)->CategoryInserted((int)catalogue->categories.size() - 1);
        return;
    }
}

void RenameCategory(ProxyCatalogue* catalogue, int index, const char* name) {
    if (index < 0 || index >= (int)catalogue->categories.size()) return;
    // Shown without a count until the caller refreshes the labels.
    catalogue->categories[index].name = RowText(name);
    catalogue->categories[index].shownCount = NoCountShown;
    Observer(catalogue)->CategoryLabelChanged(index);
}

void RemoveCategory(ProxyCatalogue* catalogue, int index) {
    if (index < 0 || index >= (int)catalogue->categories.size()) return;
    int slot = catalogue->categories[index].slot;
    if (IsBuiltInSlot(slot)) return;
    catalogue->slotInUse[slot] = 0;
    catalogue->categories.erase(catalogue->categories.begin() + index);
    Observer(catalogue)->CategoryRemoved(index);
    catalogue->lists[slot].Clear();
    Observer(catalogue)->ServerListReset(slot);
}

int CategoryIndexOfSlot(const ProxyCatalogue* catalogue, int slot) {
    for (int i = 0; i < (int)catalogue->categories.size(); ++i) {
        if (catalogue->categories[i].slot == slot) return i;
    }
    return -1;
}
