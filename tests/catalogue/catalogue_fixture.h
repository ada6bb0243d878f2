// Small helpers for the catalogue tests: a recording view and readable rows.
#pragma once

#include <string>
#include <vector>

#include "manager/catalogue/proxy_catalogue.h"

// Records every notification as a short text, e.g. "insert 16:0".
class RecordingView : public CatalogueObserver {
public:
    void ServerInserted(int slot, int row) override { Note("insert", slot, row); }
    void ServerRemoved(int slot, int row) override { Note("remove", slot, row); }
    void ServerChanged(int slot, int row) override { Note("change", slot, row); }
    void ServerListReset(int slot) override { Note("reset", slot, -1); }
    void CategoryInserted(int index) override { Note("category+", index, -1); }
    void CategoryRemoved(int index) override { Note("category-", index, -1); }
    void CategoryLabelChanged(int index) override { Note("label", index, -1); }
    std::vector<std::string> events;

private:
    void Note(const char* what, int a, int b) {
        std::string text = std::string(what) + " " + std::to_string(a);
        if (b >= 0) text += ":" + std::to_string(b);
        events.push_back(text);
    }
};

// "address|type|status|delay|last check" of a row.
inline std::string RowSummary(const ProxyCatalogue& catalogue, int slot, int row) {
    const ProxyServer& server = catalogue.lists[slot].Row(row);
    std::string summary;
    for (int column = 0; column < ServerColumnCount; ++column) {
        if (column > 0) summary += "|";
        summary += server.text[column];
    }
    return summary;
}

inline std::vector<std::string> Labels(const ProxyCatalogue& catalogue) {
    std::vector<std::string> labels;
    for (const Category& category : catalogue.categories) labels.push_back(CategoryLabel(category));
    return labels;
}

#include <cstdlib>
#include <map>

#include "manager/catalogue/catalogue_file.h"
#include "manager/catalogue/profile_store.h"
#include "shared/address_text.h"

// A profile kept in a map, recording every write as "section/key=value".
class MapProfile : public ProfileStore {
public:
    void ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) override {
        auto found = values.find(Key(section, key));
        CopyText(out, size, found == values.end() ? fallback : found->second.c_str());
    }
    int ReadInt(const char* section, const char* key, int fallback) override {
        auto found = values.find(Key(section, key));
        return (found == values.end() || found->second.empty()) ? fallback : std::atoi(found->second.c_str());
    }
    void WriteText(const char* section, const char* key, const char* value) override {
        values[Key(section, key)] = value;
        writes.push_back(Key(section, key) + "=" + value);
    }
    static std::string Key(const char* section, const char* key) { return std::string(section) + "/" + key; }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
};

// The catalogue file kept in memory; an unreadable one reads as nothing.
class MemoryStorage : public CatalogueStorage {
public:
    int ReadCatalogueText(std::string* out) override {
        if (!exists) return CatalogueMissing;
        if (unreadable) return CatalogueUnreadable;
        *out = text;
        return CatalogueRead;
    }
    void WriteCatalogueText(const std::string& written, int keepOld) override {
        if (keepOld) kept.push_back(text);
        text = written;
        exists = true;
    }
    std::string text;
    bool exists = false;
    bool unreadable = false;
    std::vector<std::string> kept;  // old texts kept beside, oldest first
};
