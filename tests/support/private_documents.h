// For the tests and benchmarks that run the manager's code for real: the
// user's documents folder pointed at a folder of their own, and user values
// put back as they were.
#pragma once

#include <windows.h>

#include <string>

extern const char* const UserShellFoldersKey;
extern const char* const UserRunKey;

// A string value under HKEY_CURRENT_USER, read when made and written back
// (or deleted, if there was none) by Restore.
class SavedUserValue {
public:
    SavedUserValue(const char* key, const char* name);
    void Restore();

private:
    std::string key;
    std::string name;
    std::string value;
    DWORD type = REG_SZ;
    bool existed = false;
};

// A fresh folder <temp>\<stem>-<pid> set as the documents folder where the
// shell looks it up; Restore puts the old setting back and removes the
// folder with everything in it.
class PrivateDocuments {
public:
    PrivateDocuments();
    // withDataFolder: also creates the Tessaron folder in it, as a manager
    // that ran before would have left it.
    bool Redirect(const char* stem, bool withDataFolder);
    void Restore();
    const std::string& Path() const { return path; }
    std::string DataFolder() const { return path + "\\Tessaron"; }
    std::string Settings() const { return DataFolder() + "\\config.ini"; }
    std::string Catalogue() const { return DataFolder() + "\\proxylist.dat"; }

private:
    SavedUserValue saved;
    std::string path;
};

void RemoveTree(const std::string& folder);
