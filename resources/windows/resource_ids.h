// Resource numbers of the Windows programs, shared by their .rc files and their
// code (LoadIcon(instance, MAKEINTRESOURCE(ZENOR9_APP_ICON))).
#pragma once

#define ZENOR9_APP_ICON 1
