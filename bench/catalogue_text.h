// A proxylist.dat text of a given size, with the texts a tested catalogue
// holds; shared by the benchmarks of the file and of the manager's window.
#pragma once

#include <cstdio>
#include <string>

// Servers in the slots firstSlot .. firstSlot + slotCount - 1, in turn.
inline std::string MakeCatalogueText(int servers, int firstSlot, int slotCount) {
    std::string text;
    char line[160];
    for (int i = 0; i < servers; ++i) {
        int slot = firstSlot + i % slotCount;
        std::snprintf(line, sizeof line, "%d.%d.%d.%d:%d;%d;%d;%d;2026.12.%d %d:%d;%d\r\n", 10 + i % 200,
                      (i / 200) % 256, (i / 51200) % 256, i % 251, 1024 + i % 60000, i % 2, i % 3, 50 + i % 5000,
                      1 + i % 28, i % 24, i % 60, slot);
        text += line;
    }
    return text;
}
