#include "app/toolbar_win32.h"

#include "app/resource_ids.h"

namespace {

constexpr BYTE kGreyed = TBSTATE_INDETERMINATE;
constexpr BYTE kEnabled = TBSTATE_ENABLED;

constexpr TBBUTTON Button(int image, int id, BYTE state = kGreyed, BYTE style = TBSTYLE_BUTTON) {
  return TBBUTTON{image, id, state, style, {0}, 0, 0};
}
constexpr TBBUTTON Separator() { return TBBUTTON{0, 0, 0, TBSTYLE_SEP, {0}, 0, 0}; }

const TBBUTTON kButtons[ToolBar::kButtonCount] = {
    Button(0, 101, kEnabled), Separator(),
    Button(1, 102, kEnabled), Button(2, 103), Separator(),
    Button(3, 104), Button(4, 105), Separator(),
    Button(5, 106), Button(6, 107), Separator(),
    Button(7, 108), Button(8, 109), Button(9, 110), Button(10, 111), Button(11, 112), Separator(),
    Button(12, 113), Button(13, 114), Button(14, 115), Separator(),
    Button(15, 116), Button(16, 117), Button(17, 118), Button(18, 119), Button(19, 120), Separator(),
    Button(20, 121), Button(21, 122), Separator(),
    Button(22, 123), Button(23, 124), Separator(),
    Button(24, 125), Button(25, 126), Button(26, 127), Separator(),
    Button(27, 128), Button(28, 129, kGreyed, TBSTYLE_CHECK), Button(29, 130, kEnabled, TBSTYLE_CHECK),
    Button(30, 131), Separator(),
    Button(31, 132), Button(32, 133),
};

}  // namespace

ToolBar::ToolBar() : init_{sizeof(INITCOMMONCONTROLSEX), 0xFF} {}

ToolBar::~ToolBar() = default;

const TBBUTTON* ToolBar::Buttons() { return kButtons; }

HWND ToolBar::Create(HWND parent, HINSTANCE instance) {
  InitCommonControlsEx(&init_);
  // The strip holds 34 pictures; the toolbar is told 44, one per table entry.
  HWND bar = CreateToolbarEx(parent, WS_CHILD | WS_VISIBLE | CCS_ADJUSTABLE | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE,
                             IDC_TOOLBAR, kButtonCount, instance, IDB_TOOLBAR, kButtons, kButtonCount, 16, 16, 16,
                             16, sizeof(TBBUTTON));
  if (!bar) return nullptr;
  const LONG style = GetWindowLongA(bar, GWL_STYLE);
  SetWindowLongA(bar, GWL_STYLE, (style | TBSTYLE_FLAT) & ~TBSTYLE_TRANSPARENT);
  return bar;
}
