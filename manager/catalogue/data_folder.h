// The data folder ("Tessaron" in the user's documents folder), its two
// files, and the start-at-logon value.
#pragma once

#include <cstddef>
#include <string>

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

// The catalogue file, read whole at the load; the save's text is held for
// SaveDataFiles, which writes both files as one.
class FileCatalogueStorage : public CatalogueStorage {
public:
    explicit FileCatalogueStorage(const char* path);
    int ReadCatalogueText(std::string* text) override;
    void WriteCatalogueText(const std::string& text, int keepOld) override;
    const std::string& SavedText() const { return saved; }

private:
    char path[PathSize];
    std::string saved;
};

// A whole file, whatever its size, opened for reading with the given
// sharing; on failure the bytes are empty.
enum WholeFile { WholeFileMissing, WholeFileRead, WholeFileUnreadable };
WholeFile ReadWholeFile(const char* path, unsigned long share, std::string* bytes);

// Copies a file that was not read to the first free name of path.unread,
// path.unread2, path.unread3, ..., so that no earlier kept file is
// overwritten. Returns 1 when the file is kept or no longer exists.
int KeepUnreadFile(const char* path);

// Writes a whole file beside path under a name that no file has yet
// (path.~1, path.~2, ...: an existing file is never opened), flushed.
// Returns 1 with the name in temporary; 0 with the system's error code,
// leaving nothing behind.
int WriteFileBeside(const char* path, const char* bytes, size_t length, std::string* temporary,
                    unsigned long* error);

// Writes a whole file beside path and moves it over path. Returns 0 and
// leaves path untouched when any step fails.
int ReplaceFileContents(const char* path, const char* bytes, unsigned long length);

// The "Tessaron" value under the current user's Run key: the program's path
// followed by " h" for a nonzero flag; deleted for 0.
void SetAutorun(int flag);
