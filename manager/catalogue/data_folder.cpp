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
static const char* const RunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char* const AutorunValueName = "Tessaron";
static const char* const HiddenStartArgument = " h";

static void JoinPath(char* out, const char* folder, const char* name) {
    std::snprintf(out, PathSize, "%s%s", folder, name);
}

static int CanOpenForReading(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

void PrepareDataFolder(DataPaths* paths) {
    char documents[MAX_PATH + 1] = "";
    SHGetSpecialFolderPathA(nullptr, documents, CSIDL_PERSONAL, FALSE);
    JoinPath(paths->folder, documents, DataFolderName);
    CreateDirectoryA(paths->folder, nullptr);
    JoinPath(paths->settings, documents, SettingsFileName);
    if (!CanOpenForReading(paths->settings)) {
        WindowsProfile settings(paths->settings);
        WriteFirstRunDefaults(&settings);
        FlushProfile(paths->settings);
    }
    JoinPath(paths->catalogue, documents, CatalogueFileName);
}

FileCatalogueStorage::FileCatalogueStorage(const char* filePath) { CopyText(path, PathSize, filePath); }

int FileCatalogueStorage::ReadCatalogueText(std::string* text) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    text->clear();
    char buffer[1 << 16];
    DWORD got = 0;
    int ok = 1;
    // The whole file, whatever its size.
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) text->append(buffer, got);
    CloseHandle(file);
    return ok != 0;
}

void FileCatalogueStorage::WriteCatalogueText(const std::string& text) {
    ReplaceFileContents(path, text.data(), (unsigned long)text.size());
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

void FinishSettingsSave(const char* settingsPath, const char* savePath) {
    FlushProfile(savePath);
    if (!MoveFileExA(savePath, settingsPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) DeleteFileA(savePath);
}

void SetAutorun(int flag) {
    HKEY key;
    if (flag != 0) {
        char program[PathSize] = "";
        GetModuleFileNameA(nullptr, program, PathSize);
        program[PathSize - 1] = '\0';
        char command[PathSize + 4];
        std::snprintf(command, sizeof command, "%s%s", program, HiddenStartArgument);
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
