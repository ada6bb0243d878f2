#include "settings.h"

#include <cstdio>
#include <cstring>

#include "catalogue_texts.h"

static const char* const WindowSection = "window";
static const char* const MainSection = "main";
static const char* const NetworkSection = "network";
static const char* const PortSectionFormat = "port%d";

static const char* const LeftKey = "left";
static const char* const TopKey = "top";
static const char* const WidthKey = "width";
static const char* const HeightKey = "height";
static const char* const SplitterTopKey = "spliter_top";
static const char* const SplitterLeftKey = "spliter_left";
static const char* const AutorunKey = "autorun";
static const char* const PortsCountKey = "ports_count";
static const char* const AcceptLocalKey = "acceptfromlocalcomputer";
static const char* const PortNameKey = "name";
static const char* const PortNumberKey = "port";
static const char* const PortStatusKey = "status";
static const char* const PortServerKey = "server";

// The first start's port has no server yet: the text a port row shows then.
static const char* const FirstRunPortServer = "None";

static void PortSection(int row, char* section, size_t size) { std::snprintf(section, size, PortSectionFormat, row); }

void WriteFirstRunDefaults(ProfileStore* settings) {
    char section[32];
    PortSection(0, section, sizeof section);
    settings->WriteText(section, PortNameKey, "Default");
    settings->WriteText(section, PortNumberKey, "9800");
    settings->WriteText(section, PortStatusKey, StoredPortDisabled);
    settings->WriteText(section, PortServerKey, FirstRunPortServer);
    settings->WriteText(MainSection, PortsCountKey, "1");
}

static void LoadMappedPorts(ProfileStore* settings, ManagerStateAccess* manager) {
    int count = settings->ReadInt(MainSection, PortsCountKey, 0);
    if (count > MappedPortLimit) count = MappedPortLimit;
    for (int row = 0; row < count; ++row) {
        char section[32];
        PortSection(row, section, sizeof section);
        char name[RowTextSize], port[RowTextSize], server[RowTextSize], status[RowTextSize];
        settings->ReadText(section, PortNameKey, "", name, sizeof name);
        settings->ReadText(section, PortNumberKey, "", port, sizeof port);
        settings->ReadText(section, PortServerKey, "", server, sizeof server);
        settings->ReadText(section, PortStatusKey, "", status, sizeof status);
        manager->AppendMappedPort(StoredPort{name, port, status, server});
    }
}

static void LoadWindowPlacement(ProfileStore* settings, ManagerStateAccess* manager) {
    int width = settings->ReadInt(WindowSection, WidthKey, 0);
    if (width != 0) {
        WindowRect rect;
        rect.height = settings->ReadInt(WindowSection, HeightKey, 0);
        rect.width = settings->ReadInt(WindowSection, WidthKey, 0);
        rect.top = settings->ReadInt(WindowSection, TopKey, 0);
        rect.left = settings->ReadInt(WindowSection, LeftKey, 0);
        manager->PlaceWindow(rect);
    } else {
        manager->SizeWindow(DefaultWindowWidth, DefaultWindowHeight);
    }
    int top = settings->ReadInt(WindowSection, SplitterTopKey, DefaultSplitterTop);
    int left = settings->ReadInt(WindowSection, SplitterLeftKey, DefaultSplitterLeft);
    manager->PlaceSplitters(top, left);
}

void LoadState(ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage,
               ManagerStateAccess* manager, ManagerFlags* flags) {
    ReadCatalogue(catalogue, settings, storage);
    flags->autorun = settings->ReadInt(MainSection, AutorunKey, 1);
    flags->acceptLocal = settings->ReadInt(NetworkSection, AcceptLocalKey, 1);
    // Any nonzero value is local-only, as Preferences shows it.
    manager->SetLocalOnly(flags->acceptLocal != 0 ? 1 : 0);
    manager->SetAutorun(flags->autorun);
    LoadMappedPorts(settings, manager);
    LoadWindowPlacement(settings, manager);
}

void SaveState(const ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage,
               ManagerStateAccess* manager, const ManagerFlags* flags) {
    if (!manager->IsMaximized()) {
        WindowRect rect = manager->OuterRect();
        WriteInt(settings, WindowSection, LeftKey, rect.left);
        WriteInt(settings, WindowSection, TopKey, rect.top);
        WriteInt(settings, WindowSection, WidthKey, rect.width);
        WriteInt(settings, WindowSection, HeightKey, rect.height);
    }
    WriteInt(settings, MainSection, AutorunKey, flags->autorun);
    WriteInt(settings, NetworkSection, AcceptLocalKey, flags->acceptLocal);
    WriteInt(settings, WindowSection, SplitterTopKey, manager->SplitterTop());
    WriteInt(settings, WindowSection, SplitterLeftKey, manager->SplitterLeft());
    int count = manager->MappedPortCount();
    WriteInt(settings, MainSection, PortsCountKey, count);
    WriteCatalogue(catalogue, settings, storage);
    for (int row = 0; row < count; ++row) {
        StoredPort stored = manager->MappedPortRow(row);
        char section[32];
        PortSection(row, section, sizeof section);
        settings->WriteText(section, PortNameKey, stored.name.c_str());
        settings->WriteText(section, PortNumberKey, stored.port.c_str());
        settings->WriteText(section, PortStatusKey, stored.status.c_str());
        settings->WriteText(section, PortServerKey, stored.server.c_str());
    }
}
