// Texts of the Testing Servers dialog and of the status bar while a test runs.
#pragma once

const char* const TestingProgressFormat = "Testing %d of %d servers";
const char* const TestingCountsFormat = "Alive: %d    Dead: %d";
const char* const TestingStatusText = "Testing Servers...";
