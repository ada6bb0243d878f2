#include "list_files_win32.h"

#include <string>
#include <vector>

#include "../catalogue/catalogue_texts.h"
#include "../catalogue/data_folder.h"
#include "../catalogue/server_import.h"
#include "address_lines.h"
#include "main_window_win32.h"
#include "window_texts.h"

const DWORD ImportChunkSize = 64 * 1024;

// The filter lists end with an empty pair.
static const char ExportFilter[] = "All files\0\0";
static const char ImportFilter[] = "Text files (*.txt)\0*.txt\0All files\0*.*\0";

static OPENFILENAMEA FileDialogRequest(HWND owner, char* path, const char* title, const char* filter) {
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = FileDialogPathSize;
    request.lpstrTitle = title;
    path[0] = '\0';
    return request;
}

// Neither dialog changes the manager's current folder.
OPENFILENAMEA ExportDialogRequest(HWND owner, char* path) {
    OPENFILENAMEA request = FileDialogRequest(owner, path, ExportDialogTitle, ExportFilter);
    request.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    return request;
}

OPENFILENAMEA ImportDialogRequest(HWND owner, char* path) {
    OPENFILENAMEA request = FileDialogRequest(owner, path, ImportDialogTitle, ImportFilter);
    request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    return request;
}

static const ServerList& CurrentRows(MainWindow* main) { return main->catalogue.lists[main->catalogue.currentSlot]; }

void ExportServerList(MainWindow* main) {
    char path[FileDialogPathSize];
    OPENFILENAMEA request = ExportDialogRequest(main->window, path);
    if (!main->saveDialog(&request)) return;
    std::string text = AddressLines(CurrentRows(main));
    // Failures are not reported; the previous file stays whole.
    ReplaceFileContents(path, text.data(), (unsigned long)text.size());
}

// Feeds the whole file to the reader; 0 when it cannot be read.
static int ReadImportFile(const char* path, ServerImport* reader) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::vector<char> chunk(ImportChunkSize);
    DWORD got = 0;
    int ok;
    while ((ok = ReadFile(file, chunk.data(), ImportChunkSize, &got, nullptr)) && got > 0) reader->Feed(chunk.data(), got);
    CloseHandle(file);
    reader->Finish();
    return ok;
}

void ImportServerList(MainWindow* main) {
    char path[FileDialogPathSize];
    OPENFILENAMEA request = ImportDialogRequest(main->window, path);
    if (!main->openDialog(&request)) return;
    ServerImport reader;
    if (!ReadImportFile(path, &reader)) {
        SetStatusText(main, 0, ImportUnreadableText);
        return;
    }
    int added = AddServerRows(&main->catalogue, main->catalogue.currentSlot, reader.Servers());
    SetStatusText(main, 0, ImportedText(added, reader.LinesRead()).c_str());
    UpdateServerCounts(main);
    RefreshCategoryLabels(&main->catalogue);
}

void CopyServerAddresses(MainWindow* main) {
    if (!OpenClipboard(main->window)) return;
    EmptyClipboard();
    // The whole selection, however long.
    std::string text = AddressLines(CurrentRows(main), SelectedRows(CurrentServerList(main)));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, text.size() + 1);
    char* bytes = block != nullptr ? (char*)GlobalLock(block) : nullptr;
    if (bytes != nullptr) {
        memcpy(bytes, text.c_str(), text.size() + 1);
        GlobalUnlock(block);
        // The clipboard owns the block once it takes it.
        if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);
    } else if (block != nullptr) {
        GlobalFree(block);
    }
    CloseClipboard();
}
