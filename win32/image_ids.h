// Identifiers of the tool bar image strips, shared by the resource script and
// the code: the four images side by side, one strip per size. The application
// icon is the one every Windows program of the project has (resources/windows).
#pragma once

#define ZENOR9_TOOLS_32 101
#define ZENOR9_TOOLS_40 102
#define ZENOR9_TOOLS_48 103
#define ZENOR9_TOOLS_64 104
