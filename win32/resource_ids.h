// Identifiers of the program's resources, shared by the resource script and
// the code.
#pragma once

#define ZENOR9_ICON_APP 1
// The tool bar images in the order of the tool bar's image indexes.
#define ZENOR9_ICON_CONNECT 101
#define ZENOR9_ICON_READ 102
#define ZENOR9_ICON_WRITE 103
#define ZENOR9_ICON_EXIT 104
