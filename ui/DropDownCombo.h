// Drop-down combo box with the list operations the dialog uses: sorted
// insertion, current selection by index, and notifications when its list
// opens, when the operator chooses an item, and when its list closes
// (whether or not an item was chosen).
#pragma once

#include <QComboBox>

class DropDownCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit DropDownCombo(QWidget* pParent = nullptr);

    // Inserts at the place the sort order gives (case-insensitive); returns the index.
    int AddString(const QString& strText);
    void ResetContent() { clear(); }
    int GetCurSel() const { return currentIndex(); }
    void SetCurSel(int nIndex) { setCurrentIndex(nIndex); }
    QString GetLBText(int nIndex) const { return itemText(nIndex); }
    int GetCount() const { return count(); }

    void showPopup() override;

signals:
    // The list is about to open.
    void DropDown();
    // The operator chose an item from the list (or with the arrow keys):
    // not for text typed into the edit.
    void SelChange();
    // The list closed, by a choice, by Esc or by the window losing focus;
    // emitted once the choice is committed, so GetCurSel gives it.
    void CloseUp();

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    bool m_bFilterInstalled = false;
};
