// proxylist.dat: one server a line, six ';'-separated fields (address, type
// code, status code, delay, last check, slot), every line ended by CR LF,
// lines grouped by slot 16, 17, 18, then the user categories in list order.
// The user categories' labels live in config.ini, section "categories".
#pragma once

#include <cstddef>
#include <string>

#include "profile_store.h"
#include "proxy_catalogue.h"

// Where the catalogue file's text comes from and goes to.
class CatalogueStorage {
public:
    virtual ~CatalogueStorage() {}
    // The whole file; 0 when it is missing or cannot be read.
    virtual int ReadCatalogueText(std::string* text) = 0;
    // Replaces the file; the old one stays whole until the new one is.
    virtual void WriteCatalogueText(const std::string& text) = 0;
};

// The category names (keys cat0 to cat15), then the servers.
void ReadCatalogue(ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage);
void WriteCatalogue(const ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage);

// The file's text into the lists. A line with fewer than six fields, a slot
// outside 0 to 18 or a NUL byte is skipped; nothing else is lost.
void ParseCatalogueText(ProxyCatalogue* catalogue, const char* text, size_t length);
std::string FormatCatalogueText(const ProxyCatalogue* catalogue);

extern const char* const CategoriesSection;
extern const char* const CategoryKeyFormat;  // "cat%d"
