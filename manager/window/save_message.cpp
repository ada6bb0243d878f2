#include "save_message.h"

#include <cstdio>

#include "window_texts.h"

static std::string Reason(const SaveOutcome& outcome) {
    const char* file = DataFileNames[outcome.file == CatalogueDataFile ? 1 : 0];
    char text[256];
    switch (outcome.problem) {
    case SaveFileInUse: std::snprintf(text, sizeof text, SaveInUseFormat, file); break;
    case SaveFileReadOnly: std::snprintf(text, sizeof text, SaveReadOnlyFormat, file); break;
    case SaveAccessDenied: std::snprintf(text, sizeof text, SaveAccessDeniedFormat, file); break;
    case SaveDiskFull: std::snprintf(text, sizeof text, "%s", SaveDiskFullText); break;
    default: std::snprintf(text, sizeof text, SaveErrorFormat, file, outcome.error); break;
    }
    return text;
}

std::string SaveFailureMessage(const char* folder, const SaveOutcome& outcome) {
    return std::string(SaveFailedLead) + folder + ": " + Reason(outcome);
}
