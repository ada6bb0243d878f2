// Texts of the catalogue's rows and categories, as shown and stored.
#pragma once

const char* const TypeHttpText = "Http";
const char* const TypeSocksText = "Socks";

const char* const StatusUntestedText = "Untested";
const char* const StatusTestingText = "Testing";
const char* const StatusAliveText = "Alive";
const char* const StatusDeadText = "Dead";

const char* const MyProxyServersName = "My Proxy Servers";
const char* const NewCategoryName = "New";
const char* const DeadCategoryName = "Dead";

// A label, and the text config.ini stores for a user category: the name
// followed by its count, e.g. Work(3).
const char* const CategoryCountFormat = "(%d)";

// The name a user slot's category gets when config.ini names none for it
// but proxylist.dat holds servers of the slot: "Category N", N = slot + 1.
const char* const UnnamedCategoryFormat = "Category %d";

// The status bar after File > "Import from text file": servers added, of
// the non-blank lines read.
const char* const ImportedTextFormat = "Imported %d of %d servers";
