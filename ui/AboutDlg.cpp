// About box, laid out from its template in dialog units (9 pt dialog font).
#include "ui/AboutDlg.h"

#include "res/IconResource.h"
#include "res/ResourceIds.h"
#include "ui/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

AboutDlg::AboutDlg(QWidget* pParent) : QDialog(pParent)
{
    const DialogUnits units = DialogUnits::ForTemplateFont(9);
    setFont(units.DisplayFont());
    setWindowTitle(QString::fromUtf8("关于 该软件"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(units.ToPixels(QSize(235, 55)));

    const QRect rectIcon = units.ToPixels(QRect(11, 17, 20, 20));
    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(LoadIconResource(IDR_MAINFRAME).pixmap(32, 32));
    pIcon->setGeometry(rectIcon.x(), rectIcon.y(), qMax(32, rectIcon.width()), qMax(32, rectIcon.height()));

    auto* pProgram = new QLabel(QString::fromUtf8("Client 1.0 版"), this);
    pProgram->setTextFormat(Qt::PlainText);
    pProgram->setGeometry(units.ToPixels(QRect(40, 10, 119, 8)));

    auto* pSecond = new QLabel(QString::fromUtf8("光纤测试仪数据管理程序"), this);
    pSecond->setTextFormat(Qt::PlainText);
    pSecond->setGeometry(units.ToPixels(QRect(40, 25, 119, 8)));

    auto* pOk = new QPushButton(QString::fromUtf8("确定"), this);
    pOk->setDefault(true);
    pOk->setGeometry(units.ToPixels(QRect(178, 7, 50, 14)));
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDlg::~AboutDlg() = default;
