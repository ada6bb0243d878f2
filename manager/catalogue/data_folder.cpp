#include "data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "../../shared/address_text.h"
#include "settings.h"
#include "windows_profile.h"

static const char* const DataFolderName = "\\Tessaron";
static const char* const SettingsFileName = "\\Tessaron\\config.ini";
static const char* const CatalogueFileName = "\\Tessaron\\proxylist.dat";
static const char* const TemporarySuffix = ".new";
static const char* const UnreadSuffix = ".unread";
static const int KeptFileLimit = 1000;  // path.unread to path.unread1000
static const char* const RunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char* const AutorunValueName = "Tessaron";
static const char* const HiddenStartArgument = " h";

static void JoinPath(char* out, const char* folder, const char* name) {
    std::snprintf(out, PathSize, "%s%s", folder, name);
}

// Whether a failed open means that there is no such file, rather than one
// that is held by another program or may not be read.
static int IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

enum FileState { FileMissing, FileReadable, FileUnreadable };

// Opened as the profile API opens it, so that readable means readable to it.
static FileState ProbeSettingsFile(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return IsMissing(GetLastError()) ? FileMissing : FileUnreadable;
    CloseHandle(file);
    return FileReadable;
}

void PrepareDataFolder(DataPaths* paths) {
    char documents[MAX_PATH + 1] = "";
    SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE);
    JoinPath(paths->folder, documents, DataFolderName);
    CreateDirectoryA(paths->folder, nullptr);
    JoinPath(paths->settings, documents, SettingsFileName);
    FileState state = ProbeSettingsFile(paths->settings);
    paths->settingsUnread = state == FileUnreadable;
    if (state == FileMissing) {
        WindowsProfile settings(paths->settings);
        WriteFirstRunDefaults(&settings);
        FlushProfile(paths->settings);
    }
    JoinPath(paths->catalogue, documents, CatalogueFileName);
}

FileCatalogueStorage::FileCatalogueStorage(const char* filePath) { CopyText(path, PathSize, filePath); }

// Other readers may hold the file meanwhile; a writer may not.
int FileCatalogueStorage::ReadCatalogueText(std::string* text) {
    text->clear();
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return IsMissing(GetLastError()) ? CatalogueMissing : CatalogueUnreadable;
    char buffer[1 << 16];
    DWORD got = 0;
    int ok = 1;
    // The whole file, whatever its size.
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) text->append(buffer, got);
    CloseHandle(file);
    if (ok) return CatalogueRead;
    text->clear();
    return CatalogueUnreadable;
}

void FileCatalogueStorage::WriteCatalogueText(const std::string& text, int keepOld) {
    if (keepOld && !KeepUnreadFile(path)) return;
    ReplaceFileContents(path, text.data(), (unsigned long)text.size());
}

int KeepUnreadFile(const char* path) {
    for (int number = 1; number <= KeptFileLimit; ++number) {
        char kept[PathSize + 16];
        if (number == 1) std::snprintf(kept, sizeof kept, "%s%s", path, UnreadSuffix);
        else std::snprintf(kept, sizeof kept, "%s%s%d", path, UnreadSuffix, number);
        if (CopyFileA(path, kept, TRUE)) return 1;
        DWORD error = GetLastError();
        if (IsMissing(error)) return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return 0;
    }
    return 0;
}

int ReplaceFileContents(const char* path, const char* bytes, unsigned long length) {
    char temporary[PathSize + 8];
    std::snprintf(temporary, sizeof temporary, "%s%s", path, TemporarySuffix);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned long done = 0;
    int ok = 1;
    while (ok && done < length) {
        DWORD written = 0;
        ok = WriteFile(file, bytes + done, length - done, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    if (ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
    DeleteFileA(temporary);
    return 0;
}

void BeginSettingsSave(const char* settingsPath, char savePath[PathSize + 8]) {
    std::snprintf(savePath, PathSize + 8, "%s%s", settingsPath, TemporarySuffix);
    // Start from the old file so that keys and sections the save does not
    // write stay as they were; without one, start empty.
    if (!CopyFileA(settingsPath, savePath, FALSE)) DeleteFileA(savePath);
}

void FinishSettingsSave(const char* settingsPath, const char* savePath, int keepOld) {
    FlushProfile(savePath);
    if ((keepOld && !KeepUnreadFile(settingsPath)) ||
        !MoveFileExA(savePath, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        DeleteFileA(savePath);
}

void SetAutorun(int flag) {
    HKEY key;
    if (flag != 0) {
        char program[PathSize] = "";
        GetModuleFileNameA(nullptr, program, PathSize);
        program[PathSize - 1] = '\0';
        // Quoted: a path with blanks (C:\Users\Ann Lee\...) would otherwise
        // start whatever its first word names, or nothing.
        char command[PathSize + 6];
        std::snprintf(command, sizeof command, "\"%s\"%s", program, HiddenStartArgument);
        // Created when missing, as on a fresh wine prefix; on Windows it always exists.
        if (RegCreateKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExA(key, AutorunValueName, 0, REG_SZ, (const BYTE*)command, (DWORD)std::strlen(command) + 1);
        RegCloseKey(key);
    } else {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, RunKeyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, AutorunValueName);
        RegCloseKey(key);
    }
}
