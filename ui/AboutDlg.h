// The About box: fixed Chinese texts whatever the interface language.
#pragma once

#include <QDialog>

class AboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDlg(QWidget* pParent = nullptr);
    ~AboutDlg() override;
};
