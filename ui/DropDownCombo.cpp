// Sorted drop-down combo box.
#include "ui/DropDownCombo.h"

#include <QAbstractItemView>

DropDownCombo::DropDownCombo(QWidget* pParent) : QComboBox(pParent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

int DropDownCombo::AddString(const QString& strText)
{
    int nIndex = 0;
    while (nIndex < count() && QString::compare(itemText(nIndex), strText, Qt::CaseInsensitive) <= 0)
        ++nIndex;
    const bool bWasEmpty = count() == 0;
    insertItem(nIndex, strText);
    // Adding items never chooses one (Qt would choose the first item of an empty box).
    if (bWasEmpty)
        setCurrentIndex(-1);
    return nIndex;
}

void DropDownCombo::hidePopup()
{
    // Qt also calls this when the box itself hides; only a list that was
    // open closes up.
    const bool bWasOpen = view() && view()->window()->isVisible();
    QComboBox::hidePopup();
    if (bWasOpen)
        emit CloseUp();
}
