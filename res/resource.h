// Every resource and control id of the program, named once for the resource scripts and the C++
// alike. Plain definitions only, so that the portable tables and windres both read this file.
#ifndef KELVO_RESOURCE_H
#define KELVO_RESOURCE_H

// Icon of every window and of the notification-area icon.
#define IDI_KELVO 128

// Dialog templates.
#define IDD_LOGIN 102
#define IDD_FRAME 103
#define IDD_GAME 131

// The new executable's download progress (built with KELVO_UPDATE_PROGRESS): template, bar, line.
#define IDD_UPDATE_PROGRESS 132
#define IDC_UPDATE_BAR 1030
#define IDC_UPDATE_TEXT 1031
// Frame picture and the frame's picture buttons (PNG): normal, hover, pressed.
#define IDP_FRAME 191
#define IDP_NEWS_NORMAL 203
#define IDP_NEWS_HOVER 204
#define IDP_NEWS_PRESSED 202
#define IDP_PAY_NORMAL 197
#define IDP_PAY_HOVER 198
#define IDP_PAY_PRESSED 196
#define IDP_FORUM_NORMAL 194
#define IDP_FORUM_HOVER 195
#define IDP_FORUM_PRESSED 193
#define IDP_SERVICE_NORMAL 200
#define IDP_SERVICE_HOVER 201
#define IDP_SERVICE_PRESSED 199
#define IDP_SITE_NORMAL 211
#define IDP_SITE_HOVER 212
#define IDP_SITE_PRESSED 210
#define IDP_MIN_NORMAL 177
#define IDP_MIN_HOVER 178
#define IDP_MIN_PRESSED 176
#define IDP_CLOSE_NORMAL 181
#define IDP_CLOSE_HOVER 180
#define IDP_CLOSE_PRESSED 179

// Login dialog: the edge lines (bitmaps and their static controls) and the web browser control.
#define IDB_EDGE_TOP 148
#define IDB_EDGE_LEFT 170
#define IDB_EDGE_RIGHT 171
#define IDB_EDGE_BOTTOM 172
#define IDC_EDGE_LEFT 1021
#define IDC_EDGE_TOP 1022
#define IDC_EDGE_RIGHT 1023
#define IDC_EDGE_BOTTOM 1024
#define IDC_BROWSER 1000

// Placeholder page (HTML).
#define IDH_PLACEHOLDER 208

// Game window frame (bitmaps).
#define IDB_CAPTION_MIDDLE 149
#define IDB_CAPTION_LEFT 150
#define IDB_CAPTION_RIGHT 151
#define IDB_BORDER_LEFT 152
#define IDB_BORDER_BOTTOM 153
#define IDB_BORDER_RIGHT 157
#define IDB_CORNER_BOTTOM_RIGHT 168
#define IDB_CORNER_BOTTOM_LEFT 169

// Game window caption buttons (bitmaps): normal, hover, pressed; restore pictures of maximise.
#define IDB_MENU_NORMAL 158
#define IDB_MENU_HOVER 159
#define IDB_MENU_PRESSED 166
#define IDB_TRAY_NORMAL 213
#define IDB_TRAY_HOVER 214
#define IDB_TRAY_PRESSED 215
#define IDB_MIN_NORMAL 160
#define IDB_MIN_HOVER 161
#define IDB_MIN_PRESSED 167
#define IDB_MAX_NORMAL 162
#define IDB_MAX_HOVER 163
#define IDB_MAX_PRESSED 165
#define IDB_RESTORE_NORMAL 205
#define IDB_RESTORE_HOVER 206
#define IDB_RESTORE_PRESSED 207
#define IDB_CLOSE_NORMAL 154
#define IDB_CLOSE_HOVER 155
#define IDB_CLOSE_PRESSED 164

// Game window: the Flash control, the settings menu and its commands.
#define IDC_FLASH 1001
#define IDR_GAME_MENU 156
#define ID_GAME_REFRESH 32772
#define ID_GAME_CLEARCACHE 32773
#define ID_GAME_FLASHSETTINGS 32774

#endif
