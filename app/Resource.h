#pragma once

// Identifiers of the dialogs and their controls. Each control carries its identifier as its
// object name, so tests and accessibility tools find it by that name.

namespace entorra {

inline constexpr const char* kAppName = "Entorra";
inline constexpr const char* IDS_ABOUTBOX = "&About Entorra...";

inline constexpr const char* IDD_ABOUTBOX = "IDD_ABOUTBOX";
inline constexpr const char* IDD_MAIN_DIALOG = "IDD_MAIN_DIALOG";

inline constexpr const char* IDOK = "IDOK";
inline constexpr const char* IDC_DELETE = "IDC_DELETE";
inline constexpr const char* IDC_BROWSE = "IDC_BROWSE";
inline constexpr const char* IDC_DELETE_ALL = "IDC_DELETE_ALL";
inline constexpr const char* IDC_FIND = "IDC_FIND";
inline constexpr const char* IDC_FIND_NEXT = "IDC_FIND_NEXT";
inline constexpr const char* IDC_MAP_LIST = "IDC_MAP_LIST";
inline constexpr const char* IDC_ENTITY_TEXT = "IDC_ENTITY_TEXT";
inline constexpr const char* IDC_MAP_FOLDER = "IDC_MAP_FOLDER";
inline constexpr const char* IDC_ENTITY_COMBO = "IDC_ENTITY_COMBO";
inline constexpr const char* IDC_SAVE = "IDC_SAVE";
inline constexpr const char* IDC_MAP_TITLE = "IDC_MAP_TITLE";
inline constexpr const char* IDC_SPAWN_COUNTS = "IDC_SPAWN_COUNTS";

// System-menu command of the About box (Windows).
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

}  // namespace entorra
