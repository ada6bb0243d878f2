#include "data_save.h"

#include <windows.h>

#include <string>

#include "ini_profile.h"

static const DWORD AnyoneMayShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

static int IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

static SaveOutcome Failure(DataFile file, DWORD error) {
    SaveProblem problem = SaveFailed;
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: problem = SaveFileInUse; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: problem = SaveAccessDenied; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: problem = SaveDiskFull; break;
    default: break;
    }
    return SaveOutcome{problem, file, error};
}

// Whether the file may be replaced now: it is missing, or it has no
// read-only attribute and no other program holds it without letting it be
// deleted (what replacing it by a rename needs).
static SaveOutcome CheckReplaceable(const char* path, DataFile file) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return IsMissing(error) ? SaveSucceeded() : Failure(file, error);
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) return SaveOutcome{SaveFileReadOnly, file, ERROR_ACCESS_DENIED};
    HANDLE handle = CreateFileA(path, DELETE, AnyoneMayShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Failure(file, GetLastError());
    CloseHandle(handle);
    return SaveSucceeded();
}

// Keeps a file the save cannot start from; its flag is cleared once kept.
static SaveOutcome KeepOldFile(const char* path, DataFile file, int* unread) {
    if (!KeepUnreadFile(path)) {
        DWORD error = GetLastError();
        return Failure(file, error != 0 ? error : ERROR_SHARING_VIOLATION);
    }
    *unread = 0;
    return SaveSucceeded();
}

static int Failed(const SaveOutcome& outcome) { return outcome.problem != SaveDone; }

static const DWORD ReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

SaveOutcome SaveDataFiles(DataPaths* paths, ProxyCatalogue* catalogue, ManagerStateAccess* manager,
                          const ManagerFlags* flags) {
    SaveOutcome outcome = CheckReplaceable(paths->settings, SettingsDataFile);
    if (!Failed(outcome)) outcome = CheckReplaceable(paths->catalogue, CatalogueDataFile);
    if (Failed(outcome)) return outcome;

    // Opened as the profile API opens it.
    std::string old;
    if (ReadWholeFile(paths->settings, FILE_SHARE_READ | FILE_SHARE_WRITE, &old) == WholeFileUnreadable)
        paths->settingsUnread = 1;
    if (paths->settingsUnread) outcome = KeepOldFile(paths->settings, SettingsDataFile, &paths->settingsUnread);
    if (!Failed(outcome) && catalogue->fileUnread)
        outcome = KeepOldFile(paths->catalogue, CatalogueDataFile, &catalogue->fileUnread);
    if (Failed(outcome)) return outcome;

    IniProfile settings(old);
    FileCatalogueStorage storage(paths->catalogue);
    SaveState(catalogue, &settings, &storage, manager, flags);
    std::string settingsText = settings.Text();

    std::string newCatalogue, newSettings;
    unsigned long error = 0;
    if (!WriteFileBeside(paths->catalogue, storage.SavedText().data(), storage.SavedText().size(), &newCatalogue,
                         &error))
        return Failure(CatalogueDataFile, error);
    if (!WriteFileBeside(paths->settings, settingsText.data(), settingsText.size(), &newSettings, &error)) {
        DeleteFileA(newCatalogue.c_str());
        return Failure(SettingsDataFile, error);
    }
    if (!MoveFileExA(newSettings.c_str(), paths->settings, ReplaceFlags)) {
        outcome = Failure(SettingsDataFile, GetLastError());
        DeleteFileA(newSettings.c_str());
        DeleteFileA(newCatalogue.c_str());
        return outcome;
    }
    // Replaced a moment after config.ini: a failure now (the file taken in
    // between) leaves servers whose categories the load names anew.
    if (!MoveFileExA(newCatalogue.c_str(), paths->catalogue, ReplaceFlags)) {
        outcome = Failure(CatalogueDataFile, GetLastError());
        DeleteFileA(newCatalogue.c_str());
        return outcome;
    }
    return SaveSucceeded();
}
