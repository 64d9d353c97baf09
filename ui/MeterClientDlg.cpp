// Main dialog: controls from the template, the routes of every message,
// initialisation, data exchange, the two languages and leaving.
#include "ui/MeterClientDlg.h"

#include "res/IconResource.h"
#include "settings/SetupIni.h"
#include "ui/AboutDlg.h"
#include "ui/ControlIds.h"
#include "ui/DialogTemplate.h"
#include "ui/DialogUnits.h"
#include "ui/DropDownCombo.h"
#include "ui/FileChooser.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QTranslator>

#include <cmath>

namespace {
const char* const SETUP_SECTION = "配置信息";
const char* const SETUP_KEY_LANGUAGE = "LanguageID";
const char* const ABOUT_MENU_TEXT = "关于 该软件(&A)...";
} // namespace

MeterClientDlg::MeterClientDlg(QWidget* pParent) : QDialog(pParent), m_pFileChooser(std::make_unique<QtFileChooser>())
{
    m_hIcon = LoadIconResource(IDR_MAINFRAME);
    setWindowTitle(QString::fromUtf8(MAIN_DIALOG_CAPTION));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    CreateControls();
    WireRoutes();
    WireLink();
}

MeterClientDlg::~MeterClientDlg()
{
    if (m_pQtTranslator)
        QCoreApplication::removeTranslator(m_pQtTranslator.get());
}

void MeterClientDlg::CreateControls()
{
    const DialogUnits units = DialogUnits::ForTemplateFont(MAIN_DIALOG_FONT_POINTS);
    setFont(units.DisplayFont());
    setFixedSize(units.ToPixels(QSize(MAIN_DIALOG_WIDTH_DU, MAIN_DIALOG_HEIGHT_DU)));

    for (const ControlTemplate& control : MainDialogTemplate())
    {
        const QString strText = QString::fromUtf8(control.pszText);
        QRect rect = units.ToPixels(control.rectDu);
        QWidget* pWidget = nullptr;
        switch (control.kind)
        {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
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
        case ControlKind::StaticCentre: {
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
        case ControlKind::DropDownCombo: {
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
// and the download timer belong to the link (WireLink), the About entry
// comes through contextMenuEvent(), Enter and Esc through keyPressEvent(),
// the close box through reject().
void MeterClientDlg::WireRoutes()
{
    connect(m_comboPort, &DropDownCombo::SelChange, this, [this] { OnSelchangeComboPort(); });
    // A USB adapter plugged in after start-up shows up when the list opens.
    connect(m_comboPort, &DropDownCombo::DropDown, this, [this] { RefreshPortList(); });
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
    // An edit in place is a change the operator may not want to lose.
    connect(m_listRecords, &RecordListCtrl::ItemEdited, this, [this] { m_bRowsUnsaved = true; });
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

    // 4. Link state (the link starts closed and idle).
    m_bPortToggle = false;

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
    for (HoverButton* pButton : findChildren<HoverButton*>())
        FitCaption(pButton);

    // 9. The first control in tab order that can take the focus gets it.
    focusNextChild();

    // A report named on the command line opens once the dialog is up.
    if (!m_strStartupReport.isEmpty())
        QTimer::singleShot(0, this, [this] { OpenReport(m_strStartupReport); });
    return true;
}

namespace {
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
// The decimal point is a point whatever the desktop's language: the value
// shows as the meter and the reports write it.
bool ParseFloat(const QString& strText, float& fValue)
{
    bool bOk = false;
    const double dValue = strText.trimmed().toDouble(&bOk);
    if (!bOk)
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

    // 2. The table (and Qt's own texts: the buttons of the boxes, the file dialogs).
    const LanguageTable& table = m_nLanguage == LANGUAGE_ENGLISH ? TABLE_ENGLISH : TABLE_CHINESE;
    ApplyQtTranslation();

    // 3. The language list's item.
    m_comboLanguage->SetCurSel(table.nComboIndex);

    // 4. - 7. The record list: fresh columns, the extended style. The rows
    // stay: a language picked (or the list merely opened and closed) after a
    // download must not throw away what the meter sent.
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
    // The table says "Connect"; a link that is up still offers Disconnect.
    if (m_link.IsConnected())
        SetDlgItemText(IDC_BTN_CONNECT, Text(TXT_BTN_DISCONNECT));
    FitHeaders();
}

// A caption is drawn on one line inside its control: right of a button's
// icon, after a group box's frame corner.
void MeterClientDlg::FitCaption(QWidget* pWidget)
{
    int nReserved = 0;
    if (auto* pButton = qobject_cast<HoverButton*>(pWidget))
    {
        const int nIcon = qMax(pButton->IconIn().nWidth, pButton->IconOut().nWidth);
        nReserved = (nIcon > 0 ? nIcon + 3 : 0) + 1;
    }
    else if (qobject_cast<QGroupBox*>(pWidget))
        nReserved = 16;
    else if (!qobject_cast<QLabel*>(pWidget))
        return;
    FitTextToWidth(pWidget, nReserved);
}

// Every column header, and the widest wavelength text, inside the column
// widths of the table.
void MeterClientDlg::FitHeaders()
{
    QHeaderView* pHeader = m_listRecords->horizontalHeader();
    const int nMargin = 2 * (pHeader->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    QFont font = this->font();
    int nPixels = font.pixelSize();
    const auto fits = [&]() {
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(QStringLiteral("1550nm")) + nMargin > pHeader->sectionSize(COL_WAVELENGTH))
            return false;
        for (int nCol = 0; nCol < m_listRecords->GetColumnCount(); ++nCol)
        {
            const QString strHeader = m_listRecords->model()->headerData(nCol, Qt::Horizontal).toString();
            if (metrics.horizontalAdvance(strHeader) + nMargin > pHeader->sectionSize(nCol))
                return false;
        }
        return true;
    };
    while (nPixels > 9 && !fits())
        font.setPixelSize(--nPixels);
    pHeader->setFont(font);
    m_listRecords->setFont(font);
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
    // A file that cannot be written is said once a run.
    FileFailure failure;
    if (!WriteSetupString(SETUP_SECTION, SETUP_KEY_LANGUAGE, QByteArray::number(int(m_nLanguage)).constData(),
                          &failure) &&
        !m_bToldLanguageNotKept)
    {
        m_bToldLanguageNotKept = true;
        ShowStop(Text(TXT_LANGUAGE_NOT_SAVED).arg(SetupFilePath()), failure.Text(m_nLanguage));
    }
}

void MeterClientDlg::ApplyQtTranslation()
{
    // Qt's own Chinese: OK/Yes/No and the file dialogs. Without the
    // translations installed they stay English.
    if (m_pQtTranslator)
    {
        QCoreApplication::removeTranslator(m_pQtTranslator.get());
        m_pQtTranslator.reset();
    }
    if (m_nLanguage == LANGUAGE_ENGLISH)
        return;
    auto pTranslator = std::make_unique<QTranslator>();
    if (pTranslator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    {
        QCoreApplication::installTranslator(pTranslator.get());
        m_pQtTranslator = std::move(pTranslator);
    }
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
    if (DoDataExchange(true) && MayQuit())
        done(IDOK);
}

void MeterClientDlg::OnCancel()
{
    if (MayQuit())
        done(IDCANCEL);
}

// The close box and Esc (QDialog's own) come here.
void MeterClientDlg::reject()
{
    OnCancel();
}

bool MeterClientDlg::MayQuit()
{
    // An edit still open in the list counts: Enter or Esc in it comes here
    // before it loses the focus.
    m_listRecords->CommitOpenEdit();
    const int nRows = m_listRecords->GetItemCount();
    if (!m_bRowsUnsaved || nRows == 0)
        return true;
    return AskYesNo(this, Text(TXT_QUIT_UNSAVED).arg(nRows));
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
    FitCaption(pWidget);
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

void MeterClientDlg::ShowStop(const QString& strText, const QString& strDetail)
{
    ShowMessageBox(this, strText, MessageIcon::Stop, QString(), strDetail);
}

void MeterClientDlg::ShowApplicationBox(const QString& strText, const QString& strDetail)
{
    ShowMessageBox(nullptr, strText, MessageIcon::None, QString(), strDetail);
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
