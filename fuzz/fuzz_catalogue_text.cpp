// The catalogue file as a damaged or hand-edited file may give it: parsing
// never fails, and once written, what it keeps survives every further read
// and write exactly (the first write turns unknown status codes into empty
// fields, which read back as Untested).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "manager/catalogue/catalogue_file.h"

// Reads a text into a fresh catalogue showing every taken user slot and
// writes it out again.
static std::string ReadAndWrite(const char* text, size_t length) {
    ProxyCatalogue catalogue;
    InitCatalogue(&catalogue, nullptr);
    ParseCatalogueText(&catalogue, text, length);
    for (int slot = 0; slot < UserSlotCount; ++slot) {
        if (catalogue.slotInUse[slot]) catalogue.categories.push_back(Category{"c", slot});
    }
    return FormatCatalogueText(&catalogue);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);  // exact size: reads past the end are caught
    std::string first = ReadAndWrite(text.data(), text.size());
    std::string second = ReadAndWrite(first.data(), first.size());
    std::string third = ReadAndWrite(second.data(), second.size());
    if (third != second) __builtin_trap();
    return 0;
}
