#include "programs.h"

#include <shellapi.h>

#include <cstring>

std::string ProgramFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool StartProgram(const char* name, const std::string& arguments, PROCESS_INFORMATION* process) {
    return StartProgramFile(ProgramFolder() + name, arguments, process);
}

bool StartProgramFile(const std::string& program, const std::string& arguments, PROCESS_INFORMATION* process) {
    std::string commandLine = "\"" + program + "\"" + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          process) != 0;
}

HANDLE LaunchRelay(const std::string& portText) {
    std::string program = ProgramFolder() + "TessaronRelay.exe";
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.lpParameters = portText.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info)) return nullptr;
    return info.hProcess;
}

struct WindowSearch {
    DWORD processId;
    const char* title;
    bool shownOnly;
    HWND found;
};

static BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM argument) {
    WindowSearch* search = (WindowSearch*)argument;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->processId && strcmp(title, search->title) == 0 &&
        (!search->shownOnly || IsWindowVisible(window)))
        search->found = window;
    return search->found == nullptr;
}

HWND FindProcessWindow(DWORD processId, const char* title, bool shownOnly) {
    WindowSearch search = {processId, title, shownOnly, nullptr};
    EnumWindows(MatchProcessWindow, (LPARAM)&search);
    return search.found;
}
