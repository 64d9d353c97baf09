// The main dialog's template: every control with its id, kind, style, text
// and rectangle in dialog units, in creation order (which is the tab order).
#pragma once

#include <QRect>
#include <vector>

enum class ControlKind
{
    PushButton,
    DefPushButton,
    StaticLeft,
    StaticCentre,
    GroupBox,
    Edit,
    DropDownCombo,
    ListView,
};

struct ControlTemplate
{
    int nId;
    ControlKind kind;
    const char* pszText;  // caption, or the combo items separated by '\n'
    QRect rectDu;         // x, y, width, height in dialog units
    bool bHidden;
};

constexpr int MAIN_DIALOG_WIDTH_DU = 412;
constexpr int MAIN_DIALOG_HEIGHT_DU = 333;
constexpr int MAIN_DIALOG_FONT_POINTS = 12;
extern const char* const MAIN_DIALOG_CAPTION;

const std::vector<ControlTemplate>& MainDialogTemplate();
