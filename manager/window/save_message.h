// The message of a save that failed: "Tessaron could not save its data in
// FOLDER: REASON", the reason told in the user's words.
#pragma once

#include <string>

#include "../catalogue/save_outcome.h"

std::string SaveFailureMessage(const char* folder, const SaveOutcome& outcome);
