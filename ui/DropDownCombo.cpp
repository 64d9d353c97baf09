// Sorted drop-down combo box.
#include "ui/DropDownCombo.h"

#include <QLineEdit>

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
    insertItem(nIndex, strText);
    return nIndex;
}

void DropDownCombo::hidePopup()
{
    QComboBox::hidePopup();
    emit CloseUp();
}
