// In-place editor of the record list: a small yellow box with magenta text
// that opens over one cell and writes its text back into that cell every
// time it loses the keyboard focus.
#pragma once

#include <QLineEdit>

class RecordListCtrl;

// Id of the editor inside the list (its parent is the list, so it does not
// clash with the dialog's control of the same number).
constexpr int IDC_CELL_EDIT = 1001;

class CellEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CellEdit(QWidget* pParent = nullptr);
    ~CellEdit() override;

    // The list the text goes back to; not owned. Null detaches it.
    void AttachList(RecordListCtrl* pList) { m_pList = pList; }
    // Remembers the cell and its text; the text reaches the box when the box
    // takes the focus.
    void SetCell(int nItem, int nSubItem, const QString& strText);
    // Writes the box's text into the remembered cell (unchanged text too).
    void CommitEdit();

    int Item() const { return m_nItem; }
    int SubItem() const { return m_nSubItem; }

    static QColor BackgroundColor() { return QColor(255, 255, 0); }
    static QColor TextColor() { return QColor(255, 0, 251); }

protected:
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    QString m_strText;
    int m_nItem = -1;
    int m_nSubItem = -1;
    RecordListCtrl* m_pList = nullptr;
};
