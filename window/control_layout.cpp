#include "window/control_layout.h"

#include <array>
#include <cstdlib>

#include "window/controls.h"
#include "common/texts.h"

namespace zunor::layout {
namespace {

constexpr bool kShown = true;
constexpr bool kHidden = false;
constexpr bool kEnabled = true;
constexpr bool kDisabled = false;
constexpr bool kTicked = true;
constexpr bool kCleared = false;

// clang-format off
constexpr std::array<ControlEntry, 15> kTable{{
    // id          kind                 text                      left   top   width height  parent        font
    {IDC_LABEL1,   Kind::Label,         texts::kLabel1,          {420,   360,  7380, 465},  0,            Font::Heading,   kShown,  kEnabled,  kCleared},
    {IDC_COMMAND2, Kind::Button,        texts::kCancel,          {5880,  5760, 1680, 465},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_COMMAND3, Kind::Button,        texts::kNext,            {4260,  5745, 1410, 465},  0,            Font::Standard,  kShown,  kDisabled, kCleared},
    {IDC_LABEL2,   Kind::Label,         texts::kLabel2,          {465,   1035, 2490, 285},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_TEXT2,    Kind::Edit,          texts::kDefaultLocation, {465,   1530, 6090, 375},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_COMMAND4, Kind::Button,        texts::kBrowse,          {6675,  1485, 600,  420},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_LABEL4,   Kind::Label,         L"",                     {540,   3180, 6720, 285},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    // Outside the client area: never seen, but still a tab stop.
    {IDC_FILE4,    Kind::FileList,      nullptr,                 {18855, 720,  2715, 5160}, 0,            Font::FileList,  kShown,  kEnabled,  kCleared},
    {IDC_CHECK1,   Kind::CheckBox,      texts::kCheck1,          {465,   2025, 3390, 240},  0,            Font::Standard,  kShown,  kEnabled,  kTicked},
    {IDC_CHECK2,   Kind::CheckBox,      texts::kCheck2,          {465,   2340, 3390, 240},  0,            Font::Standard,  kShown,  kEnabled,  kTicked},
    {IDC_TEXT1,    Kind::AgreementEdit, nullptr,                 {420,   780,  7485, 4215}, 0,            Font::Agreement, kShown,  kEnabled,  kCleared},
    {IDC_CHECK3,   Kind::CheckBox,      texts::kCheck3,          {420,   5160, 6840, 420},  0,            Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_PICTURE1, Kind::PictureBox,    nullptr,                 {480,   3660, 6855, 435},  0,            Font::Standard,  kHidden, kEnabled,  kCleared},
    {IDC_LABEL3,   Kind::Label,         L"",                     {0,     0,    15,   435},  IDC_PICTURE1, Font::Standard,  kShown,  kEnabled,  kCleared},
    {IDC_CHECK4,   Kind::CheckBox,      texts::kCheck4,          {465,   2700, 6690, 240},  0,            Font::Standard,  kShown,  kEnabled,  kTicked},
}};
// clang-format on

int MulDivRound(long long a, long long b, long long c) {
    long long product = a * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : -((-product + half) / c));
}

} // namespace

std::span<const ControlEntry> ControlTable() {
    return kTable;
}

const ControlEntry* FindControl(int id) {
    for (const auto& entry : kTable)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

int TwipsToPixels(int twips, int dpi) {
    return MulDivRound(twips, dpi, kTwipsPerInch);
}

int FontHeight(int hundredthsOfPoint, int dpi) {
    return -MulDivRound(hundredthsOfPoint, dpi, 7200);
}

bool CanEverFocus(Kind kind) {
    return kind != Kind::Label && kind != Kind::PictureBox;
}

int NextTabStop(int currentId, bool backwards, const std::function<bool(int id)>& canFocus) {
    const int count = static_cast<int>(kTable.size());
    int start = backwards ? count : -1;
    for (int i = 0; i < count; ++i)
        if (kTable[i].id == currentId)
            start = i;
    for (int step = 1; step <= count; ++step) {
        int index = ((start + (backwards ? -step : step)) % count + count) % count;
        const ControlEntry& entry = kTable[index];
        if (CanEverFocus(entry.kind) && canFocus(entry.id))
            return entry.id;
    }
    return 0;
}

} // namespace zunor::layout
