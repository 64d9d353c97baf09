// The program's main window: the dialog with its controls, the members the
// link, record and report code work on, and the routes of every message.
// The handlers live in three files: MeterClientDlg.cpp (set-up, data
// exchange, languages, leaving), MeterClientDlgLink.cpp (the meter link)
// and MeterClientDlgReport.cpp (saving and opening reports).
#pragma once

#include "controls/HoverButton.h"
#include "link/MeterLink.h"
#include "records/MeasurementRecord.h"
#include "records/list/RecordListCtrl.h"
#include "report/ReportJob.h"
#include "ui/TextTables.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QVector>
#include <memory>

class DropDownCombo;
class FileChooser;
class QTranslator;

constexpr int PORT_NAME_SLOTS = 20;
constexpr int PORT_NAME_LENGTH = 30;

class MeterClientDlg : public QDialog
{
    Q_OBJECT
public:
    explicit MeterClientDlg(QWidget* pParent = nullptr);
    ~MeterClientDlg() override;

    // Runs the dialog modally: Create, then the event loop until it ends.
    int DoModal();
    // Runs OnInitDialog once (the controls exist from construction on);
    // tests call it and show the dialog instead of DoModal.
    bool Create();

    // The control of the dialog template with this id, or null.
    QWidget* GetDlgItem(int nId) const;
    QString GetDlgItemText(int nId) const;

    // Replaces the file dialogs (tests supply the paths); the dialog owns it.
    void SetFileChooser(std::unique_ptr<FileChooser> pChooser);
    // A report to open as soon as the dialog is up (meterclient FILE.xls).
    void SetStartupReport(const QString& strPath) { m_strStartupReport = strPath; }

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void reject() override;

private:
    bool OnInitDialog();
    // Moves values between the edits and the members; false (after the
    // validation box, with the focus on the control) at the first edit
    // whose text does not convert.
    bool DoDataExchange(bool bSaveAndValidate);
    bool UpdateData(bool bSaveAndValidate = true) { return DoDataExchange(bSaveAndValidate); }
    void ApplyLanguage();
    void SetDlgItemText(int nId, const QString& strText);
    void CreateControls();
    void WireRoutes();
    void FitCaption(QWidget* pWidget);
    void FitHeaders();

    // Routes (message map order).
    void OnSysCommand(quint32 nID, quint32 lParam);
    void OnPaint();
    QIcon OnQueryDragIcon() const { return m_hIcon; }
    void OnSelchangeComboPort();
    void OnBtnConnect();
    void OnBtnCalRl();
    void OnBtnCalOpm();
    void OnBtnRead();
    void OnBtnOpen();
    void OnBtnSave();
    void OnBtnSetTime();
    void OnCloseupComboLanguage();
    void OnOK();
    void OnCancel();

    // Link control: the port list and the port, the requests, and what the
    // link reports back (MeterClientDlgLink.cpp).
    void RefreshPortList();
    void ReadPortNames();
    void OpenPort(int nPort);
    void SendConnect();
    void SendDisconnect();
    void SendCalibration(quint8 byCommand);
    // The clock fields as a date and time, or a refusal naming the field.
    bool CheckClockFields();
    void WireLink();
    void OnLinkConnected(bool bForDownload);
    void OnLinkDisconnected();
    void OnCountReceived(int nTotal);
    void AddRecordRow(const QByteArray& frame);
    void OnDownloadFinished();
    void OnRequestFailed(quint8 byCommand, LinkFailure failure);
    void OnLineLost();
    void ShowLinkDownFace();
    void ShowDownloadProgress();
    void HideStatus();

    // Reports (MeterClientDlgReport.cpp).
    void CollectListRows();
    bool WriteReport(QString strPath, QString* pNote);
    bool ReadReport(QString strPath, ReportUserInfo* pInfo, QString* pFailure, QString* pNotice);
    void OpenReport(const QString& strPath);
    void ClearRowTexts();
    void ShowStatus(const QString& strText, bool bPaintNow = false);

    // Leaving: true when nothing unsaved would be lost, or the operator
    // agrees to lose it.
    bool MayQuit();
    void ApplyQtTranslation();

    // Message boxes with the application's name as caption.
    void ShowStop(const QString& strText, const QString& strDetail = QString());
    void ShowInfo(const QString& strText);
    void ShowPlain(const QString& strText);
    // An application box (no owner window).
    void ShowApplicationBox(const QString& strText, const QString& strDetail = QString());
    // The text of the current language: English for 1, Chinese otherwise.
    QString Text(const BiText& text) const;

    // Members in the order of the design; the link's own state (frame
    // assembly, download, connection, wavelengths) lives in m_link.
    QString m_strPort;
    int m_nSelectedPort = 0;
    Language m_nLanguage = LANGUAGE_CHINESE;
    QVector<MeasurementRecord> m_rowTexts;
    int m_nPortCount = 0;
    int m_nLastPortCount = 0;
    char m_portNames[PORT_NAME_SLOTS][PORT_NAME_LENGTH] = {};
    MeterLink m_link;
    bool m_bPortToggle = false;
    HoverButton* m_btnSetTime = nullptr;
    HoverButton* m_btnSetWavelength = nullptr;
    HoverButton* m_btnOK = nullptr;
    HoverButton* m_btnExit = nullptr;
    HoverButton* m_btnSave = nullptr;
    HoverButton* m_btnRead = nullptr;
    HoverButton* m_btnOpen = nullptr;
    HoverButton* m_btnCalRL = nullptr;
    HoverButton* m_btnCalOPM = nullptr;
    HoverButton* m_btnConnect = nullptr;
    RecordListCtrl* m_listRecords = nullptr;
    DropDownCombo* m_comboLanguage = nullptr;
    DropDownCombo* m_comboPort = nullptr;
    QString m_strCompany;
    QString m_strNotes;
    QString m_strSerial;
    QString m_strOperator;
    QString m_strMeterType;
    float m_fCalValue = 0.0f;
    quint8 m_byDay = 0;
    quint8 m_byHour = 0;
    quint8 m_byMinute = 0;
    quint8 m_byMonth = 0;
    quint8 m_bySecond = 0;
    quint8 m_byYear = 0;
    QIcon m_hIcon;

    std::unique_ptr<FileChooser> m_pFileChooser;
    QHash<int, QWidget*> m_controls;
    bool m_bInitialised = false;
    // Rows downloaded or edited since the last save or open.
    bool m_bRowsUnsaved = false;
    QString m_strStartupReport;
    QElapsedTimer m_progressShown;
    bool m_bToldLanguageNotKept = false;
    std::unique_ptr<QTranslator> m_pQtTranslator;
};
