#pragma once
// Resource IDs shared by zunor.rc and the program.
#define IDI_ZUNOR 1
#define IDR_AGREEMENT 101
