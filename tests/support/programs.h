// The project's programs as the tests and benchmarks start and watch them:
// from this program's own folder, where the build puts them all.
#pragma once

#include <windows.h>

#include <string>

// The folder of this program's .exe, with its final backslash.
std::string ProgramFolder();

// Starts <own folder>\name with the arguments after its quoted path
// (arguments start with a space, or are empty).
bool StartProgram(const char* name, const std::string& arguments, PROCESS_INFORMATION* process);
// The same for a program file anywhere (a full path).
bool StartProgramFile(const std::string& program, const std::string& arguments, PROCESS_INFORMATION* process);

// Starts TessaronRelay.exe the way the manager does: shell "open", hidden,
// the port text as its only parameter. Returns its process, or nullptr.
HANDLE LaunchRelay(const std::string& portText);

// A top-level window of the process with the title (only a visible one when
// shownOnly), or nullptr.
HWND FindProcessWindow(DWORD processId, const char* title, bool shownOnly);
