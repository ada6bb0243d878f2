#include "private_documents.h"

#include <vector>

const char* const UserShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const UserRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char* const DocumentsValue = "Personal";

SavedUserValue::SavedUserValue(const char* key, const char* name) : key(key), name(name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<char> bytes(size + 1, 0);
        existed = RegQueryValueExA(handle, name, nullptr, &type, (BYTE*)bytes.data(), &size) == ERROR_SUCCESS;
        value = bytes.data();
    }
    RegCloseKey(handle);
}

void SavedUserValue::Restore() {
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (existed) RegSetValueExA(handle, name.c_str(), 0, type, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    else RegDeleteValueA(handle, name.c_str());
    RegCloseKey(handle);
}

PrivateDocuments::PrivateDocuments() : saved(UserShellFoldersKey, DocumentsValue) {}

bool PrivateDocuments::Redirect(const char* stem, bool withDataFolder) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path = std::string(temp) + stem + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path.c_str(), nullptr);
    if (withDataFolder) CreateDirectoryA(DataFolder().c_str(), nullptr);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, UserShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(key, DocumentsValue, 0, REG_SZ, (const BYTE*)path.c_str(), (DWORD)path.size() + 1);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

void PrivateDocuments::Restore() {
    saved.Restore();
    if (!path.empty()) RemoveTree(path);
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}
