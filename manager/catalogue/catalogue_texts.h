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

const char* const CategoryLabelFormat = "%s(%d)";

// The status bar after File > "Import from text file": servers added, of
// the non-blank lines read.
const char* const ImportedTextFormat = "Imported %d of %d servers";
