// Texts of the main window and its dialogs.
#pragma once

const char* const ManagerTitle = "Tessaron 1.05";
const char* const TrayTip = "Tessaron";
const char* const DefaultStatusText = "Tessaron 1.05";
const char* const ServerCountsFormat = "Total: %d   Socks: %d   Http: %d";
const char* const MessageCaption = "Tessaron";

const char* const ServerHostMissing = "Please enter valid Server hostname";
const char* const ServerPortMissingAdd = "Please enter valid Port Number";
const char* const ServerPortMissingEdit = "Please enter valid Port number";
const char* const CategoryNameMissing = "Please enter valid Category name";
const char* const PortNameMissing = "Please enter Port Name";
const char* const PortNumberMissing = "Please enter valid Port Number";
const char* const PortAlreadyAdded = "Port already added";

// The status bar when a port's server does not fit the relays' table.
const char* const PortServerTooLongText = "Address too long for a mapped port (63 characters at most)";

// A save at Exit that failed: the lead, the data folder, ": " and the
// reason, with the file's name.
const char* const SaveFailedLead = "Tessaron could not save its data in ";
const char* const SaveInUseFormat = "%s is in use by another program";
const char* const SaveReadOnlyFormat = "%s is read-only";
const char* const SaveAccessDeniedFormat = "%s may not be written (access denied)";
const char* const SaveDiskFullText = "the disk is full";
const char* const SaveErrorFormat = "%s could not be written (error %lu)";

const char* const EditServerCaption = "Edit Server";
const char* const EditCategoryCaption = "Edit Category";
const char* const EditMappedPortCaption = "Edit Mapped Port";

// What a new server's Address box shows until the user types over it.
const char* const PlaceholderHost = "proxy.example.com";
const char* const PlaceholderPort = "8080";

const char* const ExportDialogTitle = "Export list";
const char* const ImportDialogTitle = "Import list";
const char* const ImportUnreadableText = "The file could not be read";
// The help file, next to the program file.
const char* const HelpFileName = "help.chm";
