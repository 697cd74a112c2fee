// Resource numbers shared by the resource scripts and the code.
#pragma once

#define IDI_APP 1
// The 34 small icons of the main program's icon table: IDI_TABLE_BASE + index (0..33).
#define IDI_TABLE_BASE 1000
#define ICON_TABLE_COUNT 34
