// Reading and writing proxylist.dat: the file's text into the catalogue and
// back, for catalogues of several sizes. Prints one table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue_text.h"
#include "manager/catalogue/catalogue_file.h"

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
    return 0;
}
