// config.ini: what the manager loads once at start-up (LoadState) and saves
// once at Exit (SaveState), in a fixed order, and the first-run defaults.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue_file.h"
#include "profile_store.h"
#include "proxy_catalogue.h"

// A mapped port as its config.ini section holds it. The status is "1" for a
// running port, "0" for a stopped one, or any other text, kept as it was.
struct StoredPort {
    std::string name;
    std::string port;
    std::string status;
    std::string server;
};

const char* const StoredPortEnabled = "1";
const char* const StoredPortDisabled = "0";

struct WindowRect {
    int left;
    int top;
    int width;
    int height;
};

// The manager's side of the load and save: its window, splitters and
// mapped-port list, the shared table's local-only byte and the start-at-logon
// value. The main window implements it; tests supply their own.
class ManagerStateAccess {
public:
    virtual ~ManagerStateAccess() {}
    virtual int IsMaximized() = 0;
    virtual WindowRect OuterRect() = 0;
    virtual void PlaceWindow(const WindowRect& rect) = 0;  // stored position and outer size
    virtual void SizeWindow(int width, int height) = 0;    // outer size, position unchanged
    virtual int SplitterTop() = 0;                         // client y of the horizontal bar
    virtual int SplitterLeft() = 0;                        // client x of the vertical bar
    virtual void PlaceSplitters(int top, int left) = 0;
    virtual int MappedPortCount() = 0;
    virtual StoredPort MappedPortRow(int row) = 0;
    virtual void AppendMappedPort(const StoredPort& port) = 0;
    virtual void SetLocalOnly(uint8_t value) = 0;
    virtual void SetAutorun(int flag) = 0;
};

// The two preferences the manager holds in memory between load and save.
struct ManagerFlags {
    int autorun;
    int acceptLocal;
};

const int DefaultWindowWidth = 600;
const int DefaultWindowHeight = 500;
const int DefaultSplitterTop = 150;
const int DefaultSplitterLeft = 180;
// The most mapped-port sections read: far more than anyone uses (16 can
// run at once), and few enough that a damaged ports_count cannot stall the
// start and the Exit (every profile write rewrites the file: 256 ports take
// a second to save under wine, 1,000 take eleven, 100,000 took 18 minutes).
const int MappedPortLimit = 256;

// Written, in this order, when config.ini cannot be opened.
void WriteFirstRunDefaults(ProfileStore* settings);

void LoadState(ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage,
               ManagerStateAccess* manager, ManagerFlags* flags);
void SaveState(const ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage,
               ManagerStateAccess* manager, const ManagerFlags* flags);
