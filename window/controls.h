#pragma once
// Control IDs of frmMain, named after the controls. The UI driver's tests read these numbers from
// this file, so keep one "IDC_NAME = number" per line.
namespace zunor {

inline constexpr int IDC_LABEL1 = 1001;
inline constexpr int IDC_COMMAND2 = 1002;
inline constexpr int IDC_COMMAND3 = 1003;
inline constexpr int IDC_LABEL2 = 1004;
inline constexpr int IDC_TEXT2 = 1005;
inline constexpr int IDC_COMMAND4 = 1006;
inline constexpr int IDC_LABEL4 = 1007;
inline constexpr int IDC_FILE4 = 1008;
inline constexpr int IDC_CHECK1 = 1009;
inline constexpr int IDC_CHECK2 = 1010;
inline constexpr int IDC_TEXT1 = 1011;
inline constexpr int IDC_CHECK3 = 1012;
inline constexpr int IDC_PICTURE1 = 1013;
inline constexpr int IDC_LABEL3 = 1014;
inline constexpr int IDC_CHECK4 = 1015;

} // namespace zunor
