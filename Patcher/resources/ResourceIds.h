#pragma once
// Ids of the utility's resources. Shared by the C++ code and the .rc scripts, so only #defines.

// Icons: 100-199
#define IDI_TESSALY 102

// Dialogs: 103 (the start dialog)
#define IDD_START 103

// The engine library, carried as a resource of its own type.
#define RT_PATCH_ENGINE 20530
#define IDR_PATCH_ENGINE 19274
