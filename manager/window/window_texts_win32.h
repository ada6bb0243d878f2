// Texts of the Windows front end that the platform-independent headers do
// not hold: column headers and the relay program's file name.
#pragma once

const char* const ServerColumnHeaders[] = {"Server", "Type", "Status", "Delay(ms)", "Last Check"};
const int ServerColumnWidths[] = {350, 100, 100, 80, 100};

const char* const PortColumnHeaders[] = {"Port Name", "Port Number", "Status", "Current Server"};
const int PortColumnWidths[] = {150, 100, 100, 200};

const char* const CategoryColumnHeader = "Category";

const char* const CaptionFontFace = "Tahoma";

