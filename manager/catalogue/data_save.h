// The manager's save at Exit: config.ini and proxylist.dat as one. Both new
// files are written whole and flushed beside the old ones before either
// replaces its old file, so a failure before the replacements leaves both
// old files as they were, and a catalogue never meets category names of
// another save.
#pragma once

#include "data_folder.h"
#include "proxy_catalogue.h"
#include "save_outcome.h"
#include "settings.h"

// First both old files must be replaceable (neither read-only nor held by
// another program). A file that could not be read at start, and a
// config.ini that cannot be read now, is kept as <name>.unread (.unread2,
// ...) before it is replaced; once kept, its flag is cleared, so that a
// repeated save keeps it once. The new config.ini starts from the old one's
// bytes, so that keys and sections the save does not write stay as they
// were.
SaveOutcome SaveDataFiles(DataPaths* paths, ProxyCatalogue* catalogue, ManagerStateAccess* manager,
                          const ManagerFlags* flags);
