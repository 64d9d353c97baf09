// Flat owner-drawn push button that lights up under the mouse pointer and
// carries an icon (and optionally a grey copy of it for the normal state).
// HoverButton.cpp keeps the state, icons and colours; HoverButtonPaint.cpp
// draws the face.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPushButton>
#include <QRect>

class QPainter;

// Second-icon value asking for a grey copy of the first icon.
constexpr int GREY_ICON = -2;

constexpr int HOVER_RESULT_OK = 0;
constexpr int HOVER_RESULT_BAD_ICON = 1;
constexpr int HOVER_RESULT_BAD_INDEX = 3;
constexpr int HOVER_RESULT_BAD_PARAM = 5;

// Colour slots.
constexpr int HOVER_HOT_BACKGROUND = 0;
constexpr int HOVER_HOT_TEXT = 1;
constexpr int HOVER_NORMAL_BACKGROUND = 2;
constexpr int HOVER_NORMAL_TEXT = 3;
constexpr int HOVER_FOCUS_BACKGROUND = 4;
constexpr int HOVER_FOCUS_TEXT = 5;
constexpr int HOVER_COLOR_SLOTS = 6;

class HoverButton : public QPushButton
{
    Q_OBJECT
public:
    // One icon as the button holds it: the picture and the size it is drawn
    // at (device-independent pixels). A null icon means "none".
    struct IconSlot
    {
        QIcon icon;
        int nWidth = 0;
        int nHeight = 0;
    };

    explicit HoverButton(QWidget* pParent = nullptr);
    ~HoverButton() override;

    // Loads icon resource nIconIn (and nIconOut, or 0, or GREY_ICON) from
    // ":/icons/<id>.svg" or ".png" and attaches them; a resource that does
    // not load counts as absent. Returns a HOVER_RESULT_* code.
    int LoadIcons(int nIconIn, int nIconOut);
    // Replaces both icons. iconIn is shown hovered and pressed (and in the
    // normal state when iconOut is null). HOVER_RESULT_BAD_ICON (and no icons
    // at all) when an icon's size cannot be found.
    int AttachIcons(const QIcon& iconIn, const QIcon& iconOut);
    // As above with a second icon of 0 (none) or GREY_ICON (a grey copy of iconIn).
    int AttachIcons(const QIcon& iconIn, int nIconOut);
    // A grey copy of icon at every size it offers; null when icon has none.
    static QIcon MakeGreyIcon(const QIcon& icon);
    // Grey copy of one image: every pixel but the all-zero one becomes
    // grey = 0.587 G + 0.114 B + 0.299 R, truncated; alpha is kept.
    static QImage MakeGreyImage(const QImage& image);
    static int GreyLevel(int nRed, int nGreen, int nBlue);
    // Forgets both icons (bDestroy only matters where icons are system handles).
    void ReleaseImages(bool bDestroy);

    // Shifts colour slot bySlot by nOffset (-255..255) on all channels alike,
    // as far as the channel nearest its bound allows.
    int ShiftColor(quint8 bySlot, qint16 nOffset, bool bRepaint);
    // Slots 0, 2, 4 to the button face colour, 1, 3, 5 to the button text colour.
    int ResetColors(bool bRepaint);
    void LeaveHover();

    bool IsHovered() const { return m_bHovered; }
    bool IsDefaultButton() const { return isDefault(); }
    QColor Color(int nSlot) const { return m_colors[nSlot]; }
    const IconSlot& IconIn() const { return m_iconIn; }
    const IconSlot& IconOut() const { return m_iconOut; }

    // Where the icon goes: rectIcon's left/top is the icon's top-left corner;
    // with a caption the caption area (rectTitle) starts after the icon.
    static void PlaceIcon(bool bHasTitle, const QRect& rectItem, QRect& rectTitle, bool bPressed, int nWidth,
                          int nHeight, QRect& rectIcon);

protected:
    // Drawing (HoverButtonPaint.cpp).
    void paintEvent(QPaintEvent* pEvent) override;
    void DrawItem(QPainter& painter);
    virtual int PaintBackground(QPainter& painter, const QRect& rect);
    virtual int PaintBorder(QPainter& painter, const QRect& rect);
    void PaintIcon(QPainter& painter, bool bHasTitle, const QRect& rectItem, QRect& rectTitle, bool bPressed,
                   bool bDisabled);

    // State and hover tracking.
    bool event(QEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

    bool m_bHovered = false;
    bool m_bPressed = false;
    bool m_bFocused = false;
    bool m_bDisabled = false;
    QColor m_colors[HOVER_COLOR_SLOTS];
    IconSlot m_iconIn;
    IconSlot m_iconOut;

private:
    void OnClickedTakeFocus();
};
