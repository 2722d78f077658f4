#pragma once
// The control table of frmMain: kind, initial text, position and size in twips, in tab order.
// Portable: the window converts twips to pixels at the system DPI when it creates the controls.
#include <functional>
#include <span>

namespace zunor::layout {

enum class Kind { Label, Button, CheckBox, Edit, AgreementEdit, PictureBox, FileList };
enum class Font { Standard, Heading, Agreement, FileList };

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlEntry {
    int id;
    Kind kind;
    const wchar_t* text; // initial caption or text; nullptr when the window fills it in
    TwipsRect twips;     // relative to the client area of the parent
    int parentId;        // 0: the window itself
    Font font;
    bool initiallyVisible;
    bool initiallyEnabled;
    bool initiallyChecked;
};

inline constexpr int kClientWidthTwips = 8250;
inline constexpr int kClientHeightTwips = 6585;
inline constexpr int kTwipsPerInch = 1440;

// Every control, in tab order.
std::span<const ControlEntry> ControlTable();
const ControlEntry* FindControl(int id);

// Twips to pixels at the given dots per inch, rounded to the nearest pixel (15 twips = 1 px at 96 dpi).
int TwipsToPixels(int twips, int dpi);
// Font height in pixels for a size in hundredths of a point, negative (character height, not cell).
int FontHeight(int hundredthsOfPoint, int dpi);

// Kinds that can never take the keyboard focus.
bool CanEverFocus(Kind kind);

// The control after (or before) currentId in tab order that canFocus accepts, wrapping around.
// An unknown currentId starts from the beginning (the end when going backwards). 0 when none can.
int NextTabStop(int currentId, bool backwards, const std::function<bool(int id)>& canFocus);

} // namespace zunor::layout
