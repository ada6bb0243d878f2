#include "data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../../shared/address_text.h"
#include "settings.h"
#include "windows_profile.h"

static const char* const DataFolderName = "\\Tessaron";
static const char* const SettingsFileName = "\\Tessaron\\config.ini";
static const char* const CatalogueFileName = "\\Tessaron\\proxylist.dat";
static const char* const TemporarySuffix = ".~";
static const int TemporaryFileLimit = 100;  // path.~1 to path.~100
static const DWORD WriteStep = 1u << 20;     // bytes handed to one WriteFile
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

WholeFile ReadWholeFile(const char* path, unsigned long share, std::string* bytes) {
    bytes->clear();
    HANDLE file = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return IsMissing(GetLastError()) ? WholeFileMissing : WholeFileUnreadable;
    char buffer[1 << 16];
    DWORD got = 0;
    int ok = 1;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) bytes->append(buffer, got);
    CloseHandle(file);
    if (ok) return WholeFileRead;
    bytes->clear();
    return WholeFileUnreadable;
}

// Other readers may hold the file meanwhile; a writer may not.
int FileCatalogueStorage::ReadCatalogueText(std::string* text) {
    switch (ReadWholeFile(path, FILE_SHARE_READ, text)) {
    case WholeFileRead: return CatalogueRead;
    case WholeFileMissing: return CatalogueMissing;
    default: return CatalogueUnreadable;
    }
}

void FileCatalogueStorage::WriteCatalogueText(const std::string& text, int) { saved = text; }

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

// A new file beside path that no one had: CREATE_NEW never opens an
// existing one, so a file of the user's with the same name stays whole.
static HANDLE CreateFileBeside(const char* path, std::string* name, DWORD* error) {
    for (int number = 1; number <= TemporaryFileLimit; ++number) {
        *name = std::string(path) + TemporarySuffix + std::to_string(number);
        HANDLE file =
            CreateFileA(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) break;
    }
    name->clear();
    return INVALID_HANDLE_VALUE;
}

int WriteFileBeside(const char* path, const char* bytes, size_t length, std::string* temporary,
                    unsigned long* error) {
    DWORD failure = 0;
    HANDLE file = CreateFileBeside(path, temporary, &failure);
    if (file == INVALID_HANDLE_VALUE) {
        *error = failure;
        return 0;
    }
    size_t done = 0;
    int ok = 1;
    while (ok && done < length) {
        DWORD step = length - done > WriteStep ? WriteStep : (DWORD)(length - done);
        DWORD written = 0;
        ok = WriteFile(file, bytes + done, step, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    if (!ok) failure = GetLastError();
    CloseHandle(file);
    if (ok) return 1;
    DeleteFileA(temporary->c_str());
    temporary->clear();
    *error = failure != 0 ? failure : ERROR_WRITE_FAULT;
    return 0;
}

int ReplaceFileContents(const char* path, const char* bytes, unsigned long length) {
    std::string temporary;
    unsigned long error = 0;
    if (!WriteFileBeside(path, bytes, length, &temporary, &error)) return 0;
    if (MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 1;
    DeleteFileA(temporary.c_str());
    return 0;
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
