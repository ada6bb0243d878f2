#include "catalogue_file.h"

#include <cstdio>
#include <cstring>

#include "../../shared/line_breaks.h"
#include "../../shared/number_text.h"
#include "../../shared/row_text.h"
#include "catalogue_texts.h"

const char* const CategoriesSection = "categories";
const char* const CategoryKeyFormat = "cat%d";

static const char FieldSeparator = ';';
static const int FieldCount = 6;
enum CatalogueField { FieldAddress, FieldType, FieldStatus, FieldDelay, FieldLastCheck, FieldSlot };

static void CategoryKey(int slot, char* key, size_t size) { std::snprintf(key, size, CategoryKeyFormat, slot); }

// Splits a line at every ';'; returns how many fields it has (fields beyond
// the sixth are not kept).
static int SplitFields(const char* line, size_t length, std::string fields[FieldCount]) {
    int count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && line[i] != FieldSeparator) continue;
        if (count < FieldCount) fields[count] = std::string(line + start, i - start);
        ++count;
        start = i + 1;
    }
    return count;
}

static void ReadServerLine(ProxyCatalogue* catalogue, const char* line, size_t length) {
    if (length == 0 || std::memchr(line, '\0', length) != nullptr) return;
    std::string fields[FieldCount];
    if (SplitFields(line, length, fields) < FieldCount) return;
    int slot = ReadNumber(fields[FieldSlot].c_str());
    if (slot < 0 || slot >= CategorySlotCount) return;
    int row = AddServerRow(catalogue, slot, fields[FieldAddress].c_str(), ReadNumber(fields[FieldType].c_str()),
                           ReadNumber(fields[FieldStatus].c_str()));
    if (slot < UserSlotCount) catalogue->slotInUse[slot] = 1;
    if (row >= 0) {
        SetServerText(catalogue, slot, row, ServerDelay, fields[FieldDelay].c_str());
        SetServerText(catalogue, slot, row, ServerLastCheck, fields[FieldLastCheck].c_str());
    }
}

void ParseCatalogueText(ProxyCatalogue* catalogue, const char* text, size_t length) {
    LineCursor cursor = StartLines(text, length);
    const char* line;
    size_t lineLength;
    while (NextLine(&cursor, &line, &lineLength)) ReadServerLine(catalogue, line, lineLength);
}

// config.ini's value for a user category, longer than a label may be: the
// name of 255 characters and its count suffix.
const int StoredCategorySize = 2 * RowTextSize;

std::string StoredCategoryName(const char* stored) {
    std::string name = stored;
    // A trailing "(digits)" is the count; anything else belongs to the name.
    size_t open = name.rfind('(');
    if (open != std::string::npos && open > 0 && name.size() > open + 2 && name.back() == ')' &&
        name.find_first_not_of("0123456789", open + 1) == name.size() - 1)
        name.erase(open);
    return RowText(name.c_str());
}

std::string StoredCategoryText(const ProxyCatalogue* catalogue, const Category& category) {
    char count[16];
    std::snprintf(count, sizeof count, CategoryCountFormat, catalogue->lists[category.slot].Count());
    return category.name + count;
}

static void AppendCategory(ProxyCatalogue* catalogue, const std::string& name, int slot) {
    catalogue->categories.push_back(Category{name, slot});
    catalogue->slotInUse[slot] = 1;
    if (catalogue->observer != nullptr) catalogue->observer->CategoryInserted((int)catalogue->categories.size() - 1);
}

// Servers of a user slot that config.ini names no category for (it was
// deleted, damaged or comes from elsewhere) get a category of their own, so
// that they show and are saved; a slot without servers stays free.
static void NameUnnamedSlots(ProxyCatalogue* catalogue) {
    for (int slot = 0; slot < UserSlotCount; ++slot) {
        if (CategoryIndexOfSlot(catalogue, slot) >= 0) continue;
        catalogue->slotInUse[slot] = 0;
        if (catalogue->lists[slot].Count() == 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, UnnamedCategoryFormat, slot + 1);
        AppendCategory(catalogue, name, slot);
    }
}

void ReadCatalogue(ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage) {
    for (int slot = 0; slot < UserSlotCount; ++slot) {
        char key[16];
        CategoryKey(slot, key, sizeof key);
        char stored[StoredCategorySize];
        settings->ReadText(CategoriesSection, key, "", stored, sizeof stored);
        if (stored[0] == '\0') continue;
        AppendCategory(catalogue, StoredCategoryName(stored), slot);
    }
    std::string text;
    int read = storage->ReadCatalogueText(&text);
    if (read == CatalogueUnreadable) catalogue->fileUnread = 1;
    if (read != CatalogueRead) return;
    // A view hears of the read rows once per list, not once per line and
    // field: tens of thousands of single updates would each redraw.
    CatalogueObserver* observer = catalogue->observer;
    int countBefore[CategorySlotCount];
    for (int slot = 0; slot < CategorySlotCount; ++slot) countBefore[slot] = catalogue->lists[slot].Count();
    catalogue->observer = nullptr;
    ParseCatalogueText(catalogue, text.data(), text.size());
    catalogue->observer = observer;
    NameUnnamedSlots(catalogue);
    if (observer == nullptr) return;
    for (int slot = 0; slot < CategorySlotCount; ++slot)
        if (catalogue->lists[slot].Count() != countBefore[slot]) observer->ServerListReset(slot);
}

static const char* TypeCode(const std::string& type) { return type == TypeHttpText ? "0" : "1"; }

static const char* StatusCodeText(const std::string& status) {
    if (status == StatusUntestedText || status == StatusTestingText) return "0";
    if (status == StatusDeadText) return "1";
    if (status == StatusAliveText) return "2";
    return "";
}

static void FormatList(const ServerList& list, int slot, std::string* text) {
    char slotText[16];
    std::snprintf(slotText, sizeof slotText, "%d", slot);
    for (int row = 0; row < list.Count(); ++row) {
        const ProxyServer& server = list.Row(row);
        *text += server.text[ServerAddress];
        *text += FieldSeparator;
        *text += TypeCode(server.text[ServerTypeColumn]);
        *text += FieldSeparator;
        *text += StatusCodeText(server.text[ServerStatus]);
        *text += FieldSeparator;
        *text += server.text[ServerDelay];
        *text += FieldSeparator;
        *text += server.text[ServerLastCheck];
        *text += FieldSeparator;
        *text += slotText;
        *text += LineEnd;
    }
}

std::string FormatCatalogueText(const ProxyCatalogue* catalogue) {
    std::string text;
    for (int slot = MyProxyServersSlot; slot <= DeadSlot; ++slot) FormatList(catalogue->lists[slot], slot, &text);
    for (size_t i = BuiltInCategoryCount; i < catalogue->categories.size(); ++i) {
        int slot = catalogue->categories[i].slot;
        FormatList(catalogue->lists[slot], slot, &text);
    }
    return text;
}

void WriteCatalogue(const ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage) {
    char key[16];
    for (int slot = 0; slot < UserSlotCount; ++slot) {
        CategoryKey(slot, key, sizeof key);
        settings->WriteText(CategoriesSection, key, "");
    }
    for (size_t i = BuiltInCategoryCount; i < catalogue->categories.size(); ++i) {
        CategoryKey(catalogue->categories[i].slot, key, sizeof key);
        settings->WriteText(CategoriesSection, key, StoredCategoryText(catalogue, catalogue->categories[i]).c_str());
    }
    storage->WriteCatalogueText(FormatCatalogueText(catalogue), catalogue->fileUnread);
}
