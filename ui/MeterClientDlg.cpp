// Main dialog: controls from the template, the routes of every message,
// initialisation, data exchange and the two languages.
#include "ui/MeterClientDlg.h"

#include "ui/AboutDlg.h"
#include "ui/DialogUnits.h"
#include "settings/SetupIni.h"
#include "link/PortMessages.h"
#include "res/IconResource.h"
#include "ui/ControlIds.h"
#include "ui/DialogTemplate.h"
#include "ui/DropDownCombo.h"
#include "ui/FileChooser.h"
#include "ui/MessageBox.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimerEvent>

#include <cmath>

namespace
{
const char* const SETUP_SECTION = "配置信息";
const char* const SETUP_KEY_LANGUAGE = "LanguageID";
const char* const ABOUT_MENU_TEXT = "关于 该软件(&A)...";
} // namespace

MeterClientDlg::MeterClientDlg(QWidget* pParent)
    : QDialog(pParent), m_pFileChooser(std::make_unique<QtFileChooser>())
{
    m_hIcon = LoadIconResource(IDR_MAINFRAME);
    setWindowTitle(QString::fromUtf8(MAIN_DIALOG_CAPTION));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    CreateControls();
    WireRoutes();
}

MeterClientDlg::~MeterClientDlg()
{
    ClearRowTexts();
}

void MeterClientDlg::CreateControls()
{
    const QFont font = DialogUnits::DialogFont(MAIN_DIALOG_FONT_POINTS);
    setFont(font);
    const DialogUnits units(font);
    setFixedSize(units.ToPixels(QSize(MAIN_DIALOG_WIDTH_DU, MAIN_DIALOG_HEIGHT_DU)));

    for (const ControlTemplate& control : MainDialogTemplate())
    {
        const QString strText = QString::fromUtf8(control.pszText);
        QRect rect = units.ToPixels(control.rectDu);
        QWidget* pWidget = nullptr;
        switch (control.kind)
        {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
        {
            auto* pButton = new HoverButton(this);
            pButton->setText(strText);
            // A focused push button takes Enter itself, as in a Windows
            // dialog; otherwise Enter reaches the hidden default OK button.
            pButton->setAutoDefault(control.kind == ControlKind::PushButton);
            pButton->setDefault(control.kind == ControlKind::DefPushButton);
            pWidget = pButton;
            break;
        }
        case ControlKind::StaticLeft:
        case ControlKind::StaticCentre:
        {
            auto* pLabel = new QLabel(strText, this);
            pLabel->setAlignment((control.kind == ControlKind::StaticCentre ? Qt::AlignHCenter : Qt::AlignLeft) |
                                 Qt::AlignTop);
            pLabel->setTextFormat(Qt::PlainText);
            pWidget = pLabel;
            break;
        }
        case ControlKind::GroupBox:
            pWidget = new QGroupBox(strText, this);
            break;
        case ControlKind::Edit:
            pWidget = new QLineEdit(this);
            break;
        case ControlKind::DropDownCombo:
        {
            auto* pCombo = new DropDownCombo(this);
            for (const QString& strItem : strText.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                pCombo->AddString(strItem);
            // The template's height is that of the open list; the closed box is one line high.
            rect.setHeight(pCombo->sizeHint().height());
            pWidget = pCombo;
            break;
        }
        case ControlKind::ListView:
            pWidget = new RecordListCtrl(this);
            break;
        }
        pWidget->setGeometry(rect);
        pWidget->setProperty("controlId", control.nId);
        if (control.bHidden)
            pWidget->hide();
        if (control.nId != IDC_STATIC)
            m_controls.insert(control.nId, pWidget);
    }

    // The members bound to controls, as the first data exchange attaches them.
    m_btnSetTime = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_SET_TIME));
    m_btnSetWavelength = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_SET_WAVELENGTH));
    m_btnOK = qobject_cast<HoverButton*>(GetDlgItem(IDOK));
    m_btnExit = qobject_cast<HoverButton*>(GetDlgItem(IDCANCEL));
    m_btnSave = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_SAVE));
    m_btnRead = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_READ));
    m_btnOpen = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_OPEN));
    m_btnCalRL = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_CAL_RL));
    m_btnCalOPM = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_CAL_OPM));
    m_btnConnect = qobject_cast<HoverButton*>(GetDlgItem(IDC_BTN_CONNECT));
    m_listRecords = qobject_cast<RecordListCtrl*>(GetDlgItem(IDC_LIST_RECORDS));
    m_comboLanguage = qobject_cast<DropDownCombo*>(GetDlgItem(IDC_COMBO_LANGUAGE));
    m_comboPort = qobject_cast<DropDownCombo*>(GetDlgItem(IDC_COMBO_PORT));
}

// The message map: every route of the dialog, in one place. Received bytes
// (WM_PORT_BYTE) arrive through event(), timer ticks through timerEvent(),
// the About entry through contextMenuEvent(), Enter and Esc through
// keyPressEvent().
void MeterClientDlg::WireRoutes()
{
    connect(m_comboPort, &QComboBox::activated, this, [this] { OnSelchangeComboPort(); });
    connect(m_btnConnect, &QPushButton::clicked, this, [this] { OnBtnConnect(); });
    connect(m_btnCalRL, &QPushButton::clicked, this, [this] { OnBtnCalRl(); });
    connect(m_btnCalOPM, &QPushButton::clicked, this, [this] { OnBtnCalOpm(); });
    connect(m_btnRead, &QPushButton::clicked, this, [this] { OnBtnRead(); });
    connect(m_btnOpen, &QPushButton::clicked, this, [this] { OnBtnOpen(); });
    connect(m_btnSave, &QPushButton::clicked, this, [this] { OnBtnSave(); });
    connect(m_btnSetTime, &QPushButton::clicked, this, [this] { OnBtnSetTime(); });
    connect(m_comboLanguage, &DropDownCombo::CloseUp, this, [this] { OnCloseupComboLanguage(); });
    // Commands the map does not list fall to the dialog's own OK and Cancel.
    connect(m_btnOK, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_btnExit, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool MeterClientDlg::event(QEvent* pEvent)
{
    if (pEvent->type() == PortMessageEvent::EventType())
    {
        const auto* pMessage = static_cast<PortMessageEvent*>(pEvent);
        // Only received bytes have a route; the driver's other notifications are ignored.
        if (pMessage->m_nMessage == WM_PORT_BYTE)
            OnPortByte(pMessage->m_wParam, pMessage->m_lParam);
        return true;
    }
    return QDialog::event(pEvent);
}

void MeterClientDlg::timerEvent(QTimerEvent* pEvent)
{
    OnTimer(pEvent->timerId());
}

void MeterClientDlg::keyPressEvent(QKeyEvent* pEvent)
{
    switch (pEvent->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The hidden default button is what Enter reaches.
        OnOK();
        pEvent->accept();
        return;
    case Qt::Key_Escape:
        OnCancel();
        pEvent->accept();
        return;
    default:
        QDialog::keyPressEvent(pEvent);
    }
}

void MeterClientDlg::contextMenuEvent(QContextMenuEvent* pEvent)
{
    // Stands in for the title-bar menu, which the window manager owns here.
    QMenu menu(this);
    QAction* pAbout = menu.addAction(QString::fromUtf8(ABOUT_MENU_TEXT));
    if (menu.exec(pEvent->globalPos()) == pAbout)
        OnSysCommand(IDM_ABOUTBOX, 0);
}

int MeterClientDlg::DoModal()
{
    Create();
    return exec();
}

bool MeterClientDlg::Create()
{
    if (m_bInitialised)
        return true;
    m_bInitialised = true;
    return OnInitDialog();
}

bool MeterClientDlg::OnInitDialog()
{
    // 1. Members to controls: empty texts, 0 in the value edits.
    DoDataExchange(false);

    // 2. The About entry lives in the context menu (contextMenuEvent).

    // 3. Window icon.
    setWindowIcon(m_hIcon);

    // 4. Link and download state.
    m_nRxCount = 0;
    m_nRequestIndex = 0;
    m_nTimerId = 0;
    m_bRequestDue = false;
    m_bPortToggle = false;
    m_bConnected = false;

    // 5. Ports.
    RefreshPortList();

    // 6. The connect button's link-down face.
    m_btnConnect->LoadIcons(IDI_CONNECT, GREY_ICON);
    m_btnConnect->ShiftColor(HOVER_HOT_BACKGROUND, 30, true);

    // 7. Language from SETUP.ini.
    char szLanguage[256] = {};
    ReadSetupString(SETUP_SECTION, SETUP_KEY_LANGUAGE, szLanguage);
    m_nLanguage = szLanguage[0] == '1' ? LANGUAGE_ENGLISH : LANGUAGE_CHINESE;
    ApplyLanguage();

    // 8. The other buttons' icons.
    m_btnCalRL->LoadIcons(IDI_CALIBRATE, 0);
    m_btnCalOPM->LoadIcons(IDI_CALIBRATE, 0);
    m_btnSetWavelength->LoadIcons(IDI_SET, 0);
    m_btnRead->LoadIcons(IDI_READ, 0);
    m_btnSetTime->LoadIcons(IDI_SET, 0);
    m_btnOpen->LoadIcons(IDI_OPEN, 0);
    m_btnSave->LoadIcons(IDI_SAVE, 0);
    m_btnExit->LoadIcons(IDI_EXIT, GREY_ICON);

    // 9. The first control in tab order that can take the focus gets it.
    focusNextChild();
    return true;
}

namespace
{
QLineEdit* EditOf(const MeterClientDlg* pDlg, int nId)
{
    return qobject_cast<QLineEdit*>(pDlg->GetDlgItem(nId));
}

// Refuses the value: the validation box, then the focus on the edit with its
// text selected.
bool Refuse(MeterClientDlg* pDlg, QLineEdit* pEdit, const char* pszMessage)
{
    ShowMessageBox(pDlg, QString::fromLatin1(pszMessage), MessageIcon::Warning);
    pEdit->setFocus();
    pEdit->selectAll();
    return false;
}

// A real number: optional blanks, the number, optional blanks, nothing else.
bool ParseFloat(const QString& strText, float& fValue)
{
    const QByteArray text = strText.trimmed().toLatin1();
    if (text.isEmpty())
        return false;
    char* pEnd = nullptr;
    const double dValue = std::strtod(text.constData(), &pEnd);
    if (pEnd != text.constData() + text.size())
        return false;
    // A value beyond what a float holds would go to the meter as infinity.
    if (!std::isfinite(dValue) || std::fabs(dValue) > 3.4028234663852886e38)
        return false;
    fValue = static_cast<float>(dValue);
    return true;
}

// A whole number 0..255: optional blanks and a plus sign, digits, blanks.
bool ParseByte(const QString& strText, quint8& byValue)
{
    QString strTrimmed = strText.trimmed();
    if (strTrimmed.startsWith(QLatin1Char('+')))
        strTrimmed.remove(0, 1);
    if (strTrimmed.isEmpty() || strTrimmed.size() > 9)
        return false;
    for (QChar ch : strTrimmed)
    {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return false;
    }
    const int nValue = strTrimmed.toInt();
    if (nValue > 255)
        return false;
    byValue = static_cast<quint8>(nValue);
    return true;
}
} // namespace

bool MeterClientDlg::DoDataExchange(bool bSaveAndValidate)
{
    struct TextBinding
    {
        int nId;
        QString* pValue;
    };
    const TextBinding texts[] = {{IDC_EDIT_COMPANY, &m_strCompany},
                                 {IDC_EDIT_NOTES, &m_strNotes},
                                 {IDC_EDIT_SERIAL, &m_strSerial},
                                 {IDC_EDIT_OPERATOR, &m_strOperator},
                                 {IDC_EDIT_METER_TYPE, &m_strMeterType}};
    for (const TextBinding& binding : texts)
    {
        QLineEdit* pEdit = EditOf(this, binding.nId);
        if (bSaveAndValidate)
            *binding.pValue = pEdit->text();
        else
            pEdit->setText(*binding.pValue);
    }

    QLineEdit* pCalEdit = EditOf(this, IDC_EDIT_CAL_VALUE);
    if (bSaveAndValidate)
    {
        if (!ParseFloat(pCalEdit->text(), m_fCalValue))
            return Refuse(this, pCalEdit, TXT_PARSE_REAL);
    }
    else
    {
        pCalEdit->setText(QString::asprintf("%.*g", 6, static_cast<double>(m_fCalValue)));
    }

    struct ByteBinding
    {
        int nId;
        quint8* pValue;
    };
    const ByteBinding bytes[] = {{IDC_EDIT_DAY, &m_byDay},       {IDC_EDIT_HOUR, &m_byHour},
                                 {IDC_EDIT_MINUTE, &m_byMinute}, {IDC_EDIT_MONTH, &m_byMonth},
                                 {IDC_EDIT_SECOND, &m_bySecond}, {IDC_EDIT_YEAR, &m_byYear}};
    for (const ByteBinding& binding : bytes)
    {
        QLineEdit* pEdit = EditOf(this, binding.nId);
        if (bSaveAndValidate)
        {
            if (!ParseByte(pEdit->text(), *binding.pValue))
                return Refuse(this, pEdit, TXT_PARSE_BYTE);
        }
        else
        {
            pEdit->setText(QString::number(*binding.pValue));
        }
    }
    return true;
}

void MeterClientDlg::ApplyLanguage()
{
    // 1. Controls to members; a refused value has shown its box, and the
    // captions are applied all the same.
    DoDataExchange(true);

    // 2. The table.
    const LanguageTable& table = m_nLanguage == LANGUAGE_ENGLISH ? TABLE_ENGLISH : TABLE_CHINESE;

    // 3. The language list's item.
    m_comboLanguage->SetCurSel(table.nComboIndex);

    // 4. - 7. The record list: no rows, fresh columns, the extended style.
    m_listRecords->DeleteAllItems();
    while (m_listRecords->DeleteColumn(0))
    {
    }
    for (int nCol = 0; nCol < LANGUAGE_COLUMN_COUNT; ++nCol)
    {
        const ListColumnText& column = table.columns[static_cast<size_t>(nCol)];
        m_listRecords->InsertColumn(nCol, QString::fromUtf8(column.pszHeading), LVCFMT_LEFT, column.nWidth, nCol);
    }
    m_listRecords->SetExtendedStyle(RECORD_LIST_EX_STYLE);

    // 8. The captions, in the table's order.
    for (const CaptionText& caption : table.captions)
        SetDlgItemText(caption.nId, QString::fromUtf8(caption.pszCaption));
}

void MeterClientDlg::OnCloseupComboLanguage()
{
    const int nIndex = m_comboLanguage->GetCurSel();
    if (nIndex == TABLE_ENGLISH.nComboIndex)
    {
        m_nLanguage = LANGUAGE_ENGLISH;
        ApplyLanguage();
    }
    else if (nIndex == TABLE_CHINESE.nComboIndex)
    {
        m_nLanguage = LANGUAGE_CHINESE;
        ApplyLanguage();
    }
    // Written every time the list closes, whether or not the choice changed.
    WriteSetupString(SETUP_SECTION, SETUP_KEY_LANGUAGE, QByteArray::number(int(m_nLanguage)).constData());
}

void MeterClientDlg::OnSysCommand(quint32 nID, quint32 /*lParam*/)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX)
    {
        AboutDlg dlgAbout;
        dlgAbout.exec();
    }
}

void MeterClientDlg::OnPaint()
{
    // The window icon stands for the minimised window; the framework paints
    // everything else.
}

void MeterClientDlg::OnOK()
{
    if (DoDataExchange(true))
        done(IDOK);
}

void MeterClientDlg::OnCancel()
{
    done(IDCANCEL);
}

QWidget* MeterClientDlg::GetDlgItem(int nId) const
{
    return m_controls.value(nId, nullptr);
}

void MeterClientDlg::SetDlgItemText(int nId, const QString& strText)
{
    QWidget* pWidget = GetDlgItem(nId);
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        pButton->setText(strText);
    else if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        pLabel->setText(strText);
    else if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        pGroup->setTitle(strText);
    else if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        pEdit->setText(strText);
    else if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        pCombo->setEditText(strText);
}

QString MeterClientDlg::GetDlgItemText(int nId) const
{
    QWidget* pWidget = GetDlgItem(nId);
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        return pButton->text();
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        return pLabel->text();
    if (auto* pGroup = qobject_cast<QGroupBox*>(pWidget))
        return pGroup->title();
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        return pEdit->text();
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        return pCombo->currentText();
    return QString();
}

void MeterClientDlg::SetFileChooser(std::unique_ptr<FileChooser> pChooser)
{
    m_pFileChooser = std::move(pChooser);
}

void MeterClientDlg::ShowStop(const QString& strText)
{
    ShowMessageBox(this, strText, MessageIcon::Stop);
}

void MeterClientDlg::ShowInfo(const QString& strText)
{
    ShowMessageBox(this, strText, MessageIcon::Information);
}

void MeterClientDlg::ShowPlain(const QString& strText)
{
    ShowMessageBox(this, strText, MessageIcon::None);
}

QString MeterClientDlg::Text(const BiText& text) const
{
    return PickText(text, m_nLanguage);
}
