// Texts of the manager's rows and settings: single-byte texts of at most
// 255 characters, held in 256-byte buffers.
#pragma once

#include <string>

const int RowTextSize = 256;

// The text cut to what a row holds (255 characters).
std::string RowText(const char* text);
