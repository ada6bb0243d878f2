// The data folder ("Tessaron" in the user's documents folder), its two
// files, and the start-at-logon value.
#pragma once

#include "catalogue_file.h"

const int PathSize = 300;

struct DataPaths {
    char folder[PathSize];
    char settings[PathSize];   // config.ini
    char catalogue[PathSize];  // proxylist.dat
    int settingsUnread;        // config.ini exists but could not be opened: the save keeps it
};

// Creates the folder, seeds config.ini with the first-run defaults when it
// does not exist (one that exists but cannot be opened is left alone), and
// forms both paths.
void PrepareDataFolder(DataPaths* paths);

// The catalogue file read whole and replaced through a temporary file in the
// same folder, so that a save cut short leaves the old file intact. A file
// kept because it was not read goes beside it (KeepUnreadFile).
class FileCatalogueStorage : public CatalogueStorage {
public:
    explicit FileCatalogueStorage(const char* path);
    int ReadCatalogueText(std::string* text) override;
    void WriteCatalogueText(const std::string& text, int keepOld) override;

private:
    char path[PathSize];
};

// A save of config.ini goes to a copy next to it (left-over sections stay,
// as the profile API keeps them); the copy replaces the file once complete.
// With keepOld (config.ini could not be read at start) the old file is kept
// first, and when that fails it is not replaced.
void BeginSettingsSave(const char* settingsPath, char savePath[PathSize + 8]);
void FinishSettingsSave(const char* settingsPath, const char* savePath, int keepOld);

// Copies a file that was not read to the first free name of path.unread,
// path.unread2, path.unread3, ..., so that no earlier kept file is
// overwritten. Returns 1 when the file is kept or no longer exists.
int KeepUnreadFile(const char* path);

// Writes a whole file under a temporary name and moves it over path.
// Returns 0 and leaves path untouched when any step fails.
int ReplaceFileContents(const char* path, const char* bytes, unsigned long length);

// The "Tessaron" value under the current user's Run key: the program's path
// followed by " h" for a nonzero flag; deleted for 0.
void SetAutorun(int flag);
