// What a save of the data folder's two files came to: done, or the file
// that stopped it and why, for the message that tells the user.
#pragma once

enum SaveProblem {
    SaveDone = 0,
    SaveFileInUse,     // another program holds the file
    SaveFileReadOnly,  // the file has the read-only attribute
    SaveAccessDenied,  // the file or its folder may not be written
    SaveDiskFull,
    SaveFailed,        // any other error; its code is kept
};

enum DataFile { SettingsDataFile, CatalogueDataFile };

// The two files' names in the data folder, by DataFile.
const char* const DataFileNames[] = {"config.ini", "proxylist.dat"};

struct SaveOutcome {
    SaveProblem problem;
    DataFile file;
    unsigned long error;  // the system's error code, 0 when there is none
};

inline SaveOutcome SaveSucceeded() { return SaveOutcome{SaveDone, SettingsDataFile, 0}; }
