// Reading and writing proxylist.dat: the file's text into the catalogue and
// back, for catalogues of several sizes. Prints one table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue_text.h"
#include "manager/catalogue/catalogue_file.h"
#include "manager/catalogue/proxy_catalogue.h"

static const int Repeats = 5;

static void AddUserCategories(ProxyCatalogue* catalogue) {
    for (int slot = 0; slot < UserSlotCount; ++slot) catalogue->categories.push_back(Category{"c", slot});
}

static double Milliseconds(std::chrono::steady_clock::duration spent) {
    return std::chrono::duration<double, std::milli>(spent).count();
}

int main() {
    std::printf("| servers | file size | read into the model (ms) | write back (ms) | written size = read size |\n");
    std::printf("|---:|---:|---:|---:|:---:|\n");
    for (int servers : {3000, 30000, 100000}) {
        std::string text = MakeCatalogueText(servers, 0, CategorySlotCount);
        double bestRead = 1e9, bestWrite = 1e9;
        bool exact = true;
        for (int repeat = 0; repeat < Repeats; ++repeat) {
            ProxyCatalogue* catalogue = new ProxyCatalogue;
            InitCatalogue(catalogue, nullptr);
            auto start = std::chrono::steady_clock::now();
            ParseCatalogueText(catalogue, text.data(), text.size());
            auto parsed = std::chrono::steady_clock::now();
            AddUserCategories(catalogue);
            auto formatStart = std::chrono::steady_clock::now();
            std::string written = FormatCatalogueText(catalogue);
            auto formatted = std::chrono::steady_clock::now();
            bestRead = std::min(bestRead, Milliseconds(parsed - start));
            bestWrite = std::min(bestWrite, Milliseconds(formatted - formatStart));
            exact = exact && written.size() == text.size();
            delete catalogue;
        }
        std::printf("| %d | %.2f MiB | %.1f | %.1f | %s |\n", servers, text.size() / 1048576.0, bestRead, bestWrite,
                    exact ? "yes" : "no");
    }

    // Operations over many rows of one list, in the model alone.
    const int manyRows = 100000;
    std::vector<NewServer> servers;
    for (int i = 0; i < manyRows; ++i) {
        char address[64];
        std::snprintf(address, sizeof address, "10.%d.%d.%d:%d", (i >> 16) & 255, (i >> 8) & 255, i & 255,
                      1024 + i % 60000);
        servers.push_back(NewServer{address, i % 2, i % 3});
    }
    std::vector<int> everyRow(manyRows), everySecondRow;
    for (int row = 0; row < manyRows; ++row) everyRow[row] = row;
    for (int row = 0; row < manyRows; row += 2) everySecondRow.push_back(row);
    double bestAdd = 1e9, bestRemove = 1e9, bestRemoveHalf = 1e9, bestMove = 1e9;
    bool right = true;
    for (int repeat = 0; repeat < Repeats; ++repeat) {
        ProxyCatalogue* catalogue = new ProxyCatalogue;
        InitCatalogue(catalogue, nullptr);
        auto start = std::chrono::steady_clock::now();
        AddServerRows(catalogue, MyProxyServersSlot, servers);
        auto added = std::chrono::steady_clock::now();
        RemoveServerRows(catalogue, MyProxyServersSlot, everySecondRow);
        auto halved = std::chrono::steady_clock::now();
        right = right && catalogue->lists[MyProxyServersSlot].Count() == manyRows / 2;
        RemoveServerRows(catalogue, MyProxyServersSlot, everyRow);
        AddServerRows(catalogue, MyProxyServersSlot, servers);
        auto moveStart = std::chrono::steady_clock::now();
        MoveServersToCategory(catalogue, everyRow, NewSlot);
        auto moved = std::chrono::steady_clock::now();
        right = right && catalogue->lists[NewSlot].Count() == manyRows;
        auto removeStart = std::chrono::steady_clock::now();
        catalogue->currentSlot = NewSlot;
        RemoveServerRows(catalogue, NewSlot, everyRow);
        auto removed = std::chrono::steady_clock::now();
        right = right && catalogue->lists[NewSlot].Count() == 0;
        bestAdd = std::min(bestAdd, Milliseconds(added - start));
        bestRemoveHalf = std::min(bestRemoveHalf, Milliseconds(halved - added));
        bestMove = std::min(bestMove, Milliseconds(moved - moveStart));
        bestRemove = std::min(bestRemove, Milliseconds(removed - removeStart));
        delete catalogue;
    }
    std::printf("\n| %d rows of one list, in the model | best of %d (ms) |\n|---|---:|\n", manyRows, Repeats);
    std::printf("| added in one call | %.1f |\n| every second row removed | %.1f |\n", bestAdd, bestRemoveHalf);
    std::printf("| all moved to another list | %.1f |\n| all removed | %.1f |\n", bestMove, bestRemove);
    if (!right) std::printf("\nwrong row counts\n");
    return right ? 0 : 1;
}
