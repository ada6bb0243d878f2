// proxylist.dat: one server a line, six ';'-separated fields (address, type
// code, status code, delay, last check, slot), every line ended by CR LF,
// lines grouped by slot 16, 17, 18, then the user categories in list order.
// The user categories' labels live in config.ini, section "categories".
#pragma once

#include <cstddef>
#include <string>

#include "profile_store.h"
#include "proxy_catalogue.h"

// What reading the catalogue file gave.
enum CatalogueReadResult { CatalogueMissing = 0, CatalogueRead = 1, CatalogueUnreadable = 2 };

// Where the catalogue file's text comes from and goes to.
class CatalogueStorage {
public:
    virtual ~CatalogueStorage() {}
    // The whole file: CatalogueRead, or CatalogueMissing, or
    // CatalogueUnreadable when it exists but cannot be read (held by another
    // program, access denied).
    virtual int ReadCatalogueText(std::string* text) = 0;
    // Replaces the file; the old one stays whole until the new one is. With
    // keepOld (the file could not be read at load, so the text does not hold
    // its servers) the old file is first kept beside the new one; when that
    // fails nothing is written.
    virtual void WriteCatalogueText(const std::string& text, int keepOld) = 0;
};

// The category names (keys cat0 to cat15), then the servers. Servers of a
// user slot that no key names come under a category "Category N" (N = slot
// + 1). A file that
// exists but cannot be read is noted in the catalogue, so that the save keeps it.
void ReadCatalogue(ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage);
void WriteCatalogue(const ProxyCatalogue* catalogue, ProfileStore* settings, CatalogueStorage* storage);

// The file's text into the lists. A line with fewer than six fields, a slot
// outside 0 to 18 or a NUL byte is skipped; nothing else is lost.
void ParseCatalogueText(ProxyCatalogue* catalogue, const char* text, size_t length);
std::string FormatCatalogueText(const ProxyCatalogue* catalogue);

// A user category's config.ini value: its name followed by its list's
// count, e.g. Work(3); and the name such a value holds: a trailing
// "(digits)" is the count, anything else is the name's own.
std::string StoredCategoryText(const ProxyCatalogue* catalogue, const Category& category);
std::string StoredCategoryName(const char* stored);

extern const char* const CategoriesSection;
extern const char* const CategoryKeyFormat;  // "cat%d"
