// Resource ids of vaultpick.exe. 100-199: icons; 200-299: menu bitmaps; 300-399: Form2's menu
// bar and its commands (mnuN is 300 + N). The carried files (type "CUSTOM") go by their names.
#pragma once

#define IDI_VAULTPICK 100

#define IDB_PICTURE1 201
#define IDB_PICTURE2 202
#define IDB_PICTURE3 203
#define IDB_PICTURE4 204
#define IDB_PICTURE5 205

#define IDR_FORM2_MENU 300
#define IDM_MNU2 302
#define IDM_MNU4 304
#define IDM_MNU5 305
#define IDM_MNU6 306
#define IDM_MNU8 308
#define IDM_MNU9 309
