// The program's main window: the dialog with its controls, the members the
// link, record and report code work on, and the routes of every message.
// The handlers live in three files: MeterClientDlg.cpp (set-up, data
// exchange, languages), MeterClientDlgLink.cpp (the meter link) and
// MeterClientDlgReport.cpp (saving and opening reports).
#pragma once

#include "controls/HoverButton.h"
#include "link/SerialPort.h"
#include "records/MeasurementRecord.h"
#include "records/list/RecordListCtrl.h"
#include "records/WavelengthTable.h"
#include "ui/TextTables.h"

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QVector>
#include <memory>

class DropDownCombo;
class FileChooser;

constexpr int RX_FRAME_SIZE = 1024;
constexpr int PORT_NAME_SLOTS = 20;
constexpr int PORT_NAME_LENGTH = 30;
constexpr int DOWNLOAD_TIMER_ID = 1;
constexpr int DOWNLOAD_TIMER_PERIOD_MS = 10;

class MeterClientDlg : public QDialog
{
    Q_OBJECT
public:
    explicit MeterClientDlg(QWidget* pParent = nullptr);
    ~MeterClientDlg() override;

    // Runs the dialog modally: Create, then the event loop until it ends.
    int DoModal();
    // Runs OnInitDialog once (the controls exist from construction on);
    // tests call it instead of DoModal.
    bool Create();
    // Moves values between the edits and the members; false (after the
    // validation box, with the focus on the control) at the first edit
    // whose text does not convert.
    bool DoDataExchange(bool bSaveAndValidate);
    bool UpdateData(bool bSaveAndValidate = true) { return DoDataExchange(bSaveAndValidate); }
    void ApplyLanguage();

    // The control of the dialog template with this id, or null.
    QWidget* GetDlgItem(int nId) const;
    void SetDlgItemText(int nId, const QString& strText);
    QString GetDlgItemText(int nId) const;

    // Replaces the file dialogs (tests supply the paths); the dialog owns it.
    void SetFileChooser(std::unique_ptr<FileChooser> pChooser);

protected:
    bool OnInitDialog();
    bool event(QEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

public:
    // Routes (message map order). Public so that tests can drive them.
    long OnPortByte(quint32 wParam, quint32 lParam);
    void OnSysCommand(quint32 nID, quint32 lParam);
    void OnPaint();
    QIcon OnQueryDragIcon() const { return m_hIcon; }
    void OnSelchangeComboPort();
    void OnBtnConnect();
    void OnBtnCalRl();
    void OnBtnCalOpm();
    void OnBtnRead();
    void OnTimer(int nIDEvent);
    void OnBtnOpen();
    void OnBtnSave();
    void OnBtnSetTime();
    void OnCloseupComboLanguage();
    void OnOK();
    void OnCancel();

    // Link control.
    void RefreshPortList();
    void ReadPortNames();
    void OpenPort(int nPort);
    void SendConnect();
    void SendDisconnect();
    // Sends a whole frame, or says the port is closed; true when sent.
    bool SendFrame(const QByteArray& frame);
    void DispatchReply();
    void AddRecordRow();
    void StartDownloadTimer();
    void StopDownloadTimer();

    // Reports.
    void CollectListRows();
    bool WriteReport(QString strPath);
    bool ReadReport(QString strPath);
    void ClearRowTexts();

    // Message boxes with the application's name as caption.
    void ShowStop(const QString& strText);
    void ShowInfo(const QString& strText);
    void ShowPlain(const QString& strText);
    // The text of the current language: English for 1, Chinese otherwise.
    QString Text(const BiText& text) const;

    void CreateControls();
    void WireRoutes();

    // Members in the order of the design; see the member table.
    QString m_strPort;
    int m_nSelectedPort = 0;
    quint8 m_rxFrame[RX_FRAME_SIZE] = {};
    int m_nRxCount = 0;
    int m_nRequestIndex = 0;
    bool m_bRequestDue = false;
    int m_nTimerId = 0;
    int m_nRecordTotal = 0;
    Language m_nLanguage = LANGUAGE_CHINESE;
    WavelengthTable m_wavelengths = {};
    QVector<MeasurementRecord> m_rowTexts;
    int m_nPortCount = 0;
    int m_nLastPortCount = 0;
    char m_portNames[PORT_NAME_SLOTS][PORT_NAME_LENGTH] = {};
    SerialPort m_serial;
    bool m_bPortToggle = false;
    bool m_bConnected = false;
    bool m_bInFrame = false;
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

private:
    QHash<int, QWidget*> m_controls;
    bool m_bInitialised = false;
};
