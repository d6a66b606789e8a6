// Identifiers of the module's resources, shared by the resource script
// and the code that loads them.
#pragma once

#define IDR_PIPL 16000

#define IDS_OS_INCOMPATIBLE 1011
#define IDS_UNKNOWN_HOST 1100
#define IDS_HOST_INCOMPATIBLE 1200
#define IDS_NO_UNBOUND_REQUESTS 1201
#define IDS_NO_COLOR_SERVICES 1202
#define IDS_TILE_NOT_DELIVERED 1210
#define IDS_TOO_FEW_PLANES 1301
#define IDS_BAD_IMAGE_MODE 1303
#define IDS_UNKNOWN_PARAMETERS 2010
#define IDS_FOREIGN_PARAMETERS 2011
#define IDS_UNKNOWN_FILETYPE 2012
#define IDS_UNREADABLE_VERSION 2013
#define IDS_PRESET_FILES 2020  // the file dialogs' type names
#define IDS_ANY_FILES 2021
#define IDS_DISPLAY_NAME 16000
#define IDS_NO_ADVANCE_STATE 16996
#define IDS_NEEDS_PS25 16997
#define IDS_HOST_VERSION 16998
#define IDS_NEEDS_PS252 16999

// Pictures and templates.
#define IDD_ABOUT 16000
#define IDB_ABOUT 16000
#define IDB_BAND 16001
#define IDI_LOGO 16002
#define IDCUR_HAND 31
#define IDCUR_CROSS 32
#define IDC_ABOUT_PICTURE 101

// Items of the parameter dialog.
#define IDC_LOAD 3
#define IDC_SAVE 4
#define IDC_PREVIEW_FRAME 5
#define IDC_PREVIEW_CHECK 6
#define IDC_ZOOM_OUT 8
#define IDC_ZOOM_LABEL 9
#define IDC_ZOOM_IN 10
#define IDC_FIRST_SLIDER 101
#define IDC_FIRST_EDIT 201
#define IDC_HUE_STRIP 301
#define IDC_COLOUR_GROUP 302
#define IDC_GRAY_NOTE 303
