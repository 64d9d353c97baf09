// Drop-down combo box with the list operations the dialog uses: sorted
// insertion, current selection by index, and a notification when its list
// closes (whether or not an item was chosen).
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

    void hidePopup() override;

signals:
    void CloseUp();
};
