#pragma once

#include "ui/ValidatedEdit.h"

#include <QMainWindow>
#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class RecordLineList;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class QIcon;

// The console's one window. It builds every control of the catalogue (objectName = the control's
// name; array elements as "TxtF(3)"), lays them out and owns its own chrome (the close button of the
// send-records panel). Commands live in their subsystems and act on these controls.
class FrmZevo : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmZevo(QWidget *parent = nullptr);
    ~FrmZevo() override;

    // ImageList1: 1 green lamp (port selected), 2 red (not selected), 3 yellow (start-up failure).
    static QIcon lampImage(int index);
    // Sets toolbar button n (1..8) of tbComPort: pressed state and image.
    void setComButton(int n, bool pressed, int image);
    void setComButtonImage(int n, int image);
    bool comButtonPressed(int n) const;
    int comButtonImage(int n) const;

    // Status bar simple text.
    void setStatusText(const QString &text);
    QString statusText() const;

    // Title line.
    QLabel *Label10 = nullptr, *Label17 = nullptr, *lbl_DllVer = nullptr;

    // Frame6 "通讯基础设置".
    QGroupBox *Frame6 = nullptr;
    QRadioButton *optCom = nullptr, *optTcp = nullptr;
    QToolBar *tbComPort = nullptr;
    std::array<QToolButton *, 9> comButtons{};  // index 1..8; 0 unused
    QLabel *lblIP = nullptr, *Label4 = nullptr, *lblTcpState = nullptr, *Label1_1 = nullptr;
    QLineEdit *txtIP = nullptr, *txtTcpPort = nullptr;
    QPushButton *cmdConnectNet = nullptr;
    ValidatedEdit *TxtAddress = nullptr;

    // Frame7 "进入机器菜单密码".
    QGroupBox *Frame7 = nullptr;
    QPushButton *Command31 = nullptr, *Command30 = nullptr;
    QLineEdit *Text8 = nullptr;

    // Frame1 "保留功能".
    QGroupBox *Frame1 = nullptr, *Frame8 = nullptr;
    QPushButton *Command9 = nullptr, *Command8 = nullptr, *Command24 = nullptr, *cmdSendMsg = nullptr;
    QPushButton *DOWNLOG = nullptr, *Clear_Logo = nullptr, *SetKorvaneLogo = nullptr;
    QLineEdit *SoundNum = nullptr;
    QPushButton *cmdGetSounds = nullptr;
    QLabel *Label18 = nullptr;
    QPushButton *Command2 = nullptr;
    QLineEdit *txtBeginPack = nullptr, *txtEndPack = nullptr;
    QPushButton *Cmd_GetNameList_All = nullptr, *cmdReadClearLog = nullptr, *Command25 = nullptr;

    // Frame2.
    QGroupBox *Frame2 = nullptr;
    QPushButton *Command7 = nullptr;
    QLabel *Label2 = nullptr, *lblPhyCard_Hex = nullptr, *Label5 = nullptr, *Label6 = nullptr;
    QLineEdit *TxtCardNum = nullptr, *TxtNo = nullptr, *TxtNewAddr = nullptr;
    QPushButton *Command14 = nullptr, *Command15 = nullptr, *Command22 = nullptr;
    QLabel *Label11 = nullptr, *Label3 = nullptr, *Label21 = nullptr;
    QLineEdit *Txt_Minute = nullptr, *TxtY = nullptr, *Text7 = nullptr;
    QPushButton *Cmd_Delay = nullptr, *CmdSetClock = nullptr;
    QRadioButton *OpJT = nullptr, *OpFT = nullptr;
    QPushButton *Command12 = nullptr, *Command16 = nullptr, *Command17 = nullptr;
    QPushButton *Command13 = nullptr, *Command23 = nullptr;

    // Frame4: the alarm grid.
    QGroupBox *Frame4 = nullptr;
    QLineEdit *Text2 = nullptr, *Text3 = nullptr;
    std::array<ValidatedEdit *, 10> TxtHour{};
    std::array<ValidatedEdit *, 10> TxtMin{};

    // Picture3: the short-message panel (inside Frame2).
    QWidget *Picture3 = nullptr;
    QLabel *Label12 = nullptr, *Label16 = nullptr;
    QLineEdit *TxtMsg = nullptr, *Text6 = nullptr;
    QPushButton *Command26 = nullptr, *Command27 = nullptr;

    // Frame5.
    QGroupBox *Frame5 = nullptr;
    QCheckBox *IsCheck = nullptr, *YearCheck = nullptr;
    QPushButton *Command4 = nullptr, *Command11 = nullptr, *Cmd_GetNameList = nullptr;
    QLineEdit *SleepDate = nullptr;
    QPushButton *Command1_8 = nullptr, *Command10 = nullptr, *Command3 = nullptr;
    QPushButton *Command5 = nullptr, *Command6 = nullptr;
    QLabel *Label = nullptr, *Label7 = nullptr, *Label19 = nullptr;

    // Free controls right of Frame5.
    QComboBox *cmbStorageModel = nullptr;
    QPushButton *cmdSetStorage_1 = nullptr, *cmdGetStorage = nullptr;
    QLabel *Label20 = nullptr;
    QLineEdit *txtInterval = nullptr;
    QPushButton *cmdCheckData = nullptr, *Cmd_Exit = nullptr;

    // Picture4: the record-format panel.
    QWidget *Picture4 = nullptr;
    std::array<QLineEdit *, 9> TxtF{};
    std::array<QLineEdit *, 8> TxtT{};

    // Picture1: the send-records panel.
    QWidget *Picture1 = nullptr, *TitleBar = nullptr, *Picture2 = nullptr;
    QLabel *TitleBarCaption = nullptr, *Image1 = nullptr;
    std::array<QFrame *, 3> TitleDetail{}, TitleDetailHi{};
    std::array<QFrame *, 4> ButBorder{};
    QFrame *Line2_0 = nullptr;
    QLabel *Label8 = nullptr, *Label9 = nullptr, *Label13 = nullptr, *DataCount = nullptr, *Label1_3 = nullptr;
    RecordLineList *List1 = nullptr;
    QLineEdit *Text4 = nullptr;
    QPushButton *Command18 = nullptr, *Command19 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLabel *Label14 = nullptr, *Label15 = nullptr;
    QLineEdit *Text5 = nullptr, *Text1 = nullptr;
    QPushButton *Command21 = nullptr, *Command20 = nullptr;

    // Non-visual.
    QStatusBar *Sta_Info = nullptr;
    QProgressBar *StatusProgress = nullptr;  // beside the status text, shown during long transfers
    QTimer *TimerState = nullptr;

signals:
    // Label9 / Label13 are clickable labels.
    void label9Clicked();
    void label13Clicked();
    // A click on toolbar button n (1..8) of tbComPort.
    void comButtonClicked(int n);
    // Emitted by the window's close box, before the window goes; the shut-down saves here.
    void unloading();

public:
    // Shows or hides the frame ButBorder(0..3) around the close button.
    void showCloseFrame(bool visible);
    QLabel *statusLabel_ = nullptr;  // the simple text of Sta_Info

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend struct FrmZevoBuild;
    bool focusGuard(QObject *watched, QEvent *event);
    bool validating_ = false;
    bool unloaded_ = false;
};
