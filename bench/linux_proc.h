// Linux's /proc as the benchmarks under wine read it, through wine's Z:
// drive: the processes of this wine prefix and the CPU time they used.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

const int LinuxTicksPerSecond = 100;

// A Linux file read through wine's Z: drive (at most limit bytes).
inline std::string ReadLinuxFile(const std::string& path, DWORD limit) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text(limit, '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], limit, &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
}

// The Linux pid of the process of this wine prefix whose name starts with
// name, or 0.
inline int LinuxPidOf(const char* name) {
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string prefixEntry = std::string("WINEPREFIX=") + prefix;
    prefixEntry.push_back('\0');
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int found = 0;
    do {
        int pid = atoi(entry.cFileName);
        if (pid <= 0) continue;
        std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
        if (ReadLinuxFile(folder + "\\comm", 64).compare(0, strlen(name), name) != 0) continue;
        std::string environment = ReadLinuxFile(folder + "\\environ", 1 << 16);
        environment.insert(environment.begin(), '\0');
        if (environment.find('\0' + prefixEntry) != std::string::npos) found = pid;
    } while (found == 0 && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

// utime + stime of a Linux process, in clock ticks.
inline long long LinuxProcessTicks(int pid) {
    std::string text = ReadLinuxFile("Z:\\proc\\" + std::to_string(pid) + "\\stat", 1024);
    const char* fields = strrchr(text.c_str(), ')');
    if (fields == nullptr) return -1;
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    long long values[13] = {};
    int field = 2;
    for (const char* p = fields + 1; *p != 0 && field < 15;) {
        while (*p == ' ') ++p;
        ++field;
        if (field >= 14) values[field - 14] = atoll(p);
        while (*p != 0 && *p != ' ') ++p;
    }
    return values[0] + values[1];
}

// The time a process's main thread has run, in nanoseconds (the scheduler's
// own count, finer than the clock ticks); -1 when unknown. The whole
// process for a single-threaded one such as the wineserver.
inline long long LinuxMainThreadRunNs(int pid) {
    std::string text = ReadLinuxFile("Z:\\proc\\" + std::to_string(pid) + "\\schedstat", 256);
    return text.empty() ? -1 : atoll(text.c_str());
}

// A "kB" line of a process's /proc status (RssAnon, VmRSS, ...), in KiB;
// -1 when unknown.
inline long long LinuxStatusKiB(int pid, const char* field) {
    std::string text = ReadLinuxFile("Z:\\proc\\" + std::to_string(pid) + "\\status", 1 << 14);
    std::string key = std::string("\n") + field + ":";
    size_t at = text.find(key);
    return at == std::string::npos ? -1 : atoll(text.c_str() + at + key.size());
}
