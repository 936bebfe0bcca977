#include "app/main_window.h"

#include "app/form_settings.h"
#include "app/status_panels.h"
#include "app/disk_serial.h"
#include "app/url_opener.h"
#include "app/version_answer.h"
#include "core/clickable_edit.h"
#include "core/combo_index.h"
#include "core/file_chooser.h"
#include "core/message_box.h"
#include "core/text_codec.h"
#include "core/widget_kit.h"
#include "data/codec.h"
#include "data/receive_display.h"
#include "modbus/form_modbus.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_client_page.h"
#include "net/tcp_server_channel.h"
#include "net/tcp_server_page.h"
#include "net/udp_client_channel.h"
#include "net/udp_client_page.h"
#include "net/udp_server_channel.h"
#include "net/udp_server_page.h"
#include "ports/lpt_page.h"
#include "ports/usb_page.h"
#include "send/snippet_rows.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_page.h"
#include "terminal/tnr_terminal.h"
#include "wave/wave_form.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QToolTip>
#include <QVBoxLayout>

using namespace WidgetKit;

namespace {

const QStringList kChannelItems = {QStringLiteral("COMA"),       QStringLiteral("COMB"),
                                   QStringLiteral("TCP SERVER"), QStringLiteral("TCP CLIENT"),
                                   QStringLiteral("UDP SERVER"), QStringLiteral("UDP CLIENT")};

}  // namespace

TForm1::TForm1(Beeper* beeper, LineLog* log, QWidget* parent)
    : QMainWindow(parent),
      tmrPeriodSend(pipeline_,
                    [this](ChannelId channel) {
                        if (channel == LPT)
                            lpt->btnLPTSend->click();
                        else
                            SendButtonClick(channel);
                    }),
      pipeline_(*this, displayLines_, counters_, [this] { UpdateStatusBar(); }),
      gps_(pipeline_),
      dispatcher_(pipeline_, *this, counters_, [this] { UpdateStatusBar(); }),
      relay_(*this, dispatcher_),
      fileSender_(dispatcher_, pipeline_, [this] { return SelectedIndex(cbbPeriodSend); }),
      comA_(pipeline_),
      comB_(pipeline_),
      tcpServerChannel_(pipeline_),
      tcpClientChannel_(pipeline_),
      udpServerChannel_(pipeline_),
      udpClientChannel_(pipeline_)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("串口/网络调试软件  ") + QString::fromUtf8(kContactText));
    resize(971, 621);

    pipeline_.SetEcho(&dispatcher_);
    pipeline_.SetRelay(&relay_);
    pipeline_.SetBeeper(beeper);
    pipeline_.SetLog(log);
    pipeline_.SetGpsDecoder(&gps_);

    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildReceiveOptions());
    edtMsg = new ReceiveDisplay(displayLines_, central);
    edtMsg->SetAutoScroll([this] { return AutoScroll(); });
    displayLines_.Append(QStringLiteral("接收显示区"), kWindowText);
    left->addWidget(edtMsg, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildSendOptions());
    BuildPages();
    WireModbusWindow();
    right->addWidget(PageControl1, 1);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    setCentralWidget(central);
    BuildTerminal(left);

    StatusBar1 = new StatusPanels(this);
    setStatusBar(StatusBar1);
    connect(StatusBar1, &StatusPanels::clicked, this, &TForm1::StatusBar1Click);

    tmrPeriodSend.setObjectName(QStringLiteral("tmrPeriodSend"));
    connect(&tmrPeriodSend, &PeriodTimer::Timer, this, &TForm1::tmrPeriodSendTimer);
    tmrSend.setObjectName(QStringLiteral("tmrSend"));
    tmrSend.setInterval(5);
    tmrSend.start();
    // The start-up tick runs once.
    connect(&tmrSend, &QTimer::timeout, &tmrSend, &QTimer::stop);
    TimerSpeed.setObjectName(QStringLiteral("TimerSpeed"));
    BuildWaveForm();
    ConnectWebLinks();
}

TForm1::~TForm1()
{
    // The Modbus engine leaves port A before the channels go.
    delete FormModbus;
    // The pages refer to their channels, which are members: the pages go first.
    delete PageControl1;
}

QWidget* TForm1::BuildReceiveOptions()
{
    auto* group = new QGroupBox(QStringLiteral("接收选项"), this);
    group->setObjectName(QStringLiteral("GroupBoxReceive"));
    chkHelpInfo = NewCheckBox("chkHelpInfo", QStringLiteral("显示接收辅助信息"), group, true);
    chkSendInfo = NewCheckBox("chkSendInfo", QStringLiteral("显示发送辅助信息"), group, true);
    chkKeepFront = NewCheckBox("chkKeepFront", QStringLiteral("窗口置顶"), group);
    chkLog = NewCheckBox("chkLog", QStringLiteral("日志记录"), group);
    chkLatest = NewCheckBox("chkLatest", QStringLiteral("只显示最新数据"), group);
    chkBeep = NewCheckBox("chkBeep", QStringLiteral("接收蜂鸣提示"), group);
    chkHexShow = NewCheckBox("chkHexShow", QStringLiteral("HEX显示 "), group);
    cbbHexStyle = NewCombo("cbbHexStyle",
                           {QStringLiteral("11 22 33"), QStringLiteral("112233"), QStringLiteral("0x11,0x22,0x33"),
                            QStringLiteral("11h,22h,33h"), QStringLiteral("\\x11,\\x22,\\x33")},
                           0, group);
    btnWave = NewButton("btnWave", QStringLiteral("波形图"), group);
    edtCmpLen = new QLineEdit(group);
    edtCmpLen->setObjectName(QStringLiteral("edtCmpLen"));
    edtCmpLen->setMaximumWidth(60);
    chkGPS = NewCheckBox("chkGPS", QStringLiteral("GPS_nmea解析"), group);
    chkGUN = NewCheckBox("chkGUN", QStringLiteral("自动滚动"), group, true);
    cbbTextEncoding = NewPickList("cbbTextEncoding", {QStringLiteral("GBK"), QStringLiteral("UTF-8")}, 0, group);
    btnClearMsg = NewButton("btnClearMsg", QStringLiteral("清空"), group);

    auto* grid = new QGridLayout(group);
    grid->addWidget(chkHelpInfo, 0, 0);
    grid->addWidget(chkSendInfo, 0, 1);
    grid->addWidget(chkKeepFront, 0, 2);
    grid->addWidget(chkLog, 0, 3);
    grid->addWidget(chkLatest, 1, 0);
    grid->addWidget(chkBeep, 1, 1);
    grid->addWidget(chkHexShow, 1, 2);
    grid->addWidget(cbbHexStyle, 1, 3);
    auto* lengthRow = new QHBoxLayout;
    lengthRow->addWidget(new QLabel(QStringLiteral("接收长度不等于"), group));
    lengthRow->addWidget(edtCmpLen);
    lengthRow->addWidget(new QLabel(QStringLiteral("时提示"), group));
    lengthRow->addStretch();
    grid->addLayout(lengthRow, 2, 0, 1, 2);
    grid->addWidget(chkGPS, 2, 2);
    grid->addWidget(btnWave, 2, 3);
    grid->addWidget(chkGUN, 3, 0);
    auto* encodingRow = new QHBoxLayout;
    encodingRow->addWidget(new QLabel(QStringLiteral("文本编码"), group));
    encodingRow->addWidget(cbbTextEncoding);
    encodingRow->addStretch();
    grid->addLayout(encodingRow, 3, 1, 1, 2);
    grid->addWidget(btnClearMsg, 3, 3);

    for (QCheckBox* box : {chkKeepFront, chkGUN, chkHelpInfo, chkSendInfo, chkLog, chkGPS})
        connect(box, &QCheckBox::clicked, this, &TForm1::chkKeepFrontClick);
    connect(btnClearMsg, &QPushButton::clicked, this, &TForm1::btnClearMsgClick);
    connect(cbbTextEncoding, &QComboBox::currentIndexChanged, this, &TForm1::cbbTextEncodingChange);
    // The codec follows the box from the start, whatever an earlier window chose.
    cbbTextEncodingChange();
    return group;
}

QWidget* TForm1::BuildSendOptions()
{
    auto* group = new QGroupBox(QStringLiteral("发送选项"), this);
    group->setObjectName(QStringLiteral("GroupBoxSend"));
    chkRelay = NewCheckBox("chkRelay", QStringLiteral("转发"), group);
    cbbConnA = NewCombo("cbbConnA", kChannelItems, 0, group);
    cbbConnB = NewCombo("cbbConnB", kChannelItems, 1, group);
    cbSendFrom = NewCombo("cbSendFrom",
                          {QStringLiteral("用户输入框"), QStringLiteral("时间字符串"), QStringLiteral("随机")}, -1,
                          group);
    cbSendFrom->setEditText(QStringLiteral("用户输入框"));

    ValueListEditor1 = new QTableWidget(0, 2, group);
    ValueListEditor1->setObjectName(QStringLiteral("ValueListEditor1"));
    ValueListEditor1->setHorizontalHeaderLabels({QStringLiteral("说明"), QStringLiteral("内容")});
    ValueListEditor1->setToolTip(QStringLiteral("点击复制,双击进入编辑模式"));
    ValueListEditor1->horizontalHeader()->setStretchLastSection(true);
    ValueListEditor1->verticalHeader()->hide();
    const QList<SnippetRows::Row> designRows = SnippetRows::DesignRows();
    ValueListEditor1->setRowCount(static_cast<int>(designRows.size()));
    for (int row = 0; row < designRows.size(); ++row) {
        ValueListEditor1->setItem(row, 0, new QTableWidgetItem(designRows[row].first));
        ValueListEditor1->setItem(row, 1, new QTableWidgetItem(designRows[row].second));
    }

    cbbPeriodSend = NewCombo("cbbPeriodSend", kChannelItems + QStringList{QStringLiteral("LPT并口")}, 0, group);
    chkPeriodSend = NewCheckBox("chkPeriodSend", QStringLiteral("定时发送"), group);
    edtPeriodSend = new QLineEdit(QStringLiteral("1000"), group);
    edtPeriodSend->setObjectName(QStringLiteral("edtPeriodSend"));
    auto* filePath = new ClickableEdit(group);
    edtFilePath = filePath;
    edtFilePath->setObjectName(QStringLiteral("edtFilePath"));
    edtFilePath->setReadOnly(true);
    btnOpenFile = NewButton("btnOpenFile", QStringLiteral("发送文件"), group);

    auto* grid = new QGridLayout(group);
    grid->addWidget(chkRelay, 0, 0);
    grid->addWidget(cbbConnA, 0, 1);
    grid->addWidget(cbbConnB, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("发送内容"), group), 1, 0);
    grid->addWidget(cbSendFrom, 1, 1, 1, 2);
    grid->addWidget(ValueListEditor1, 0, 3, 4, 1);
    grid->addWidget(cbbPeriodSend, 2, 0);
    grid->addWidget(chkPeriodSend, 2, 1);
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(edtPeriodSend);
    periodRow->addWidget(new QLabel(QStringLiteral("ms"), group));
    grid->addLayout(periodRow, 2, 2);
    grid->addWidget(edtFilePath, 3, 0, 1, 2);
    grid->addWidget(btnOpenFile, 3, 2);
    grid->setColumnStretch(3, 1);

    connect(chkRelay, &QCheckBox::clicked, this, &TForm1::chkRelayClick);
    connect(chkPeriodSend, &QCheckBox::clicked, this, &TForm1::chkPeriodSendClick);
    // A cell becomes selected by mouse or keyboard; a click on the cell that
    // is selected already copies it again.
    connect(ValueListEditor1, &QTableWidget::currentCellChanged, this, &TForm1::ValueListEditor1SelectCell);
    connect(ValueListEditor1, &QTableWidget::cellClicked, this, &TForm1::ValueListEditor1SelectCell);
    connect(filePath, &ClickableEdit::clicked, this, &TForm1::edtFilePathClick);
    connect(btnOpenFile, &QPushButton::clicked, this, &TForm1::btnOpenFileClick);
    connect(&fileSender_, &FileSender::Progress, this, [this](qint64 sent, qint64 total) {
        btnOpenFile->setToolTip(QStringLiteral("已发送%1/%2字节").arg(sent).arg(total));
        // A tip on show does not follow its text by itself.
        if (QToolTip::isVisible() && btnOpenFile->underMouse())
            QToolTip::showText(QCursor::pos(), btnOpenFile->toolTip(), btnOpenFile);
    });
    return group;
}

void TForm1::WireModbusWindow()
{
    connect(serialA->chkModbus, &QCheckBox::clicked, this, &TForm1::chkModbusClick);
}

void TForm1::chkModbusClick()
{
    if (serialA->chkModbus->isChecked()) {
        if (FormModbus == nullptr) {
            FormModbus = new TFormModbus(this);
            comA_.nrComm1->SetDataProcessor(FormModbus->nrModbus1);
        }
        FormModbus->show();
    } else if (FormModbus != nullptr) {
        FormModbus->close();
        comA_.nrComm1->SetDataProcessor(nullptr);
        delete FormModbus;
        FormModbus = nullptr;
    }
}

void TForm1::BuildPages()
{
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setUsesScrollButtons(false);
    PageControl1->tabBar()->setExpanding(false);

    serialA = new SerialAPage(comA_, PageControl1);
    serialB = new SerialBPage(comB_, PageControl1);
    // One loader fills both serial port lists; "刷新" on either page runs it.
    serialA->SetPortListB(serialB->cbb2_COM);
    serialB->SetPortListLoader([this] { serialA->LoadPortLists(); });
    tcpServer = new TcpServerPage(tcpServerChannel_, PageControl1);
    tcpClient = new TcpClientPage(tcpClientChannel_, PageControl1);
    udpServer = new UdpServerPage(udpServerChannel_, PageControl1);
    udpClient = new UdpClientPage(udpClientChannel_, PageControl1);
    channelPages_ = {serialA, serialB, tcpServer, tcpClient, udpServer, udpClient};
    const std::array<Channel*, kDataChannelCount> channels = {&comA_,           &comB_,
                                                              &tcpServerChannel_, &tcpClientChannel_,
                                                              &udpServerChannel_, &udpClientChannel_};
    for (ChannelId channel = COMA; channel <= UDPC; ++channel) {
        dispatcher_.SetTarget(channel, channels[channel]);
        relay_.SetChannel(channel, channels[channel]);
        fileSender_.SetChannel(channel, channels[channel]);
    }
    const char* const captions[kDataChannelCount] = {"串口A", "串口B", "TCP服务器", "TCP客户端", "UDP服务器",
                                                     "UDP客户端"};
    for (ChannelId channel = COMA; channel <= UDPC; ++channel) {
        ChannelPage* page = channelPages_[channel];
        PageControl1->addTab(page, QString::fromUtf8(captions[channel]));
        connect(page->Panel()->send, &QPushButton::clicked, this, [this, channel] { SendButtonClick(channel); });
    }

    BuildParallelPortPage();
    BuildUsbPage();

    auto* tools = new QWidget(PageControl1);
    tools->setObjectName(QStringLiteral("tsTOOLS"));
    btndocs = NewButton("btndocs", QStringLiteral("引脚 协议技术文档"), tools);
    btnPublicTcpServer = NewButton("btnPublicTcpServer", QStringLiteral("公共TCP服务器"), tools);
    auto* toolsLayout = new QVBoxLayout(tools);
    toolsLayout->addWidget(btndocs);
    toolsLayout->addWidget(btnPublicTcpServer);
    toolsLayout->addStretch();
    PageControl1->addTab(tools, QStringLiteral("工具"));

    auto* web = new QWidget(PageControl1);
    web->setObjectName(QStringLiteral("tsweb"));
    auto* browser = new QTextBrowser(web);
    browser->setObjectName(QStringLiteral("CppWebBrowser1"));
    btnFullScr = NewButton("btnFullScr", QStringLiteral("全屏查看"), web);
    auto* webLayout = new QVBoxLayout(web);
    webLayout->addWidget(browser, 1);
    webLayout->addWidget(btnFullScr);
    PageControl1->addTab(web, QStringLiteral("版本更新"));
}

void TForm1::BuildParallelPortPage()
{
    dispatcher_.SetTarget(LPT, &lptChannel_);
    lpt = new LptPage(lptChannel_.nrLPT1, PageControl1);
    PageControl1->addTab(lpt, QStringLiteral("并口"));
}

void TForm1::BuildUsbPage()
{
    usb = new UsbPage(nrUSB1_, PageControl1);
    PageControl1->addTab(usb, QStringLiteral("USB"));
    connect(&usbMonitor_, &UsbHotplugMonitor::deviceChanged, usb, &UsbPage::WMDeviceChange);
    usbMonitor_.Start();
}

// The terminal nrTerminal1 shares the receive display's place and shows
// instead of it in terminal mode, attached to port A's engine.
void TForm1::BuildTerminal(QBoxLayout* receiveArea)
{
    receiveArea_ = receiveArea;
    nrTerminal1 = new TnrTerminal(centralWidget());
    nrTerminal1->setObjectName(QStringLiteral("nrTerminal1"));
    nrTerminal1->setToolTip(QStringLiteral("双击放大缩小"));
    QFont font(QStringLiteral("System"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(16);
    nrTerminal1->setFont(font);
    nrTerminal1->SetFontColor(nrTerminal1->palette().color(QPalette::Highlight));
    nrTerminal1->SetColor(Qt::black);
    nrTerminal1->SetCaretView(cvHoriz);
    nrTerminal1->SetEnterKey(ekLF);
    nrTerminal1->SetUtf8(true);
    nrTerminal1->SetMouseMode(tmmNone);
    nrTerminal1->SetTerminalSize(60, 50);
    nrTerminal1->hide();
    receiveArea->insertWidget(receiveArea->indexOf(edtMsg) + 1, nrTerminal1, 1);
    connect(serialA->chkTerminal, &QCheckBox::clicked, this, &TForm1::chkTerminalClick);
    connect(nrTerminal1, &TnrTerminal::doubleClicked, this, &TForm1::nrTerminal1DblClick);
}

void TForm1::chkTerminalClick()
{
    const bool on = serialA->chkTerminal->isChecked();
    comA_.nrComm1->SetTerminal(on ? nrTerminal1 : nullptr);
    edtMsg->setVisible(!on);
    nrTerminal1->setVisible(on);
    if (on)
        nrTerminal1->setFocus();
}

void TForm1::nrTerminal1DblClick()
{
    terminalEnlarged_ = !terminalEnlarged_;
    if (terminalEnlarged_) {
        receiveArea_->removeWidget(nrTerminal1);
        nrTerminal1->setGeometry(0, 0, width() - 40, height() - 80);
        nrTerminal1->raise();
        nrTerminal1->SetColumns(150);
    } else {
        receiveArea_->insertWidget(receiveArea_->indexOf(edtMsg) + 1, nrTerminal1, 1);
        nrTerminal1->SetColumns(80);
    }
    nrTerminal1->show();
}

void TForm1::FormCreate()
{
    try {
        comA_.Start();
        comB_.Start();
        for (ChannelPage* page : channelPages_)
            page->Start();
    } catch (...) {
        MessageBox::Show(QStringLiteral("串口打开错误!"));
    }
    udpClientChannel_.Start();
    FormSettings(*this).Load();
    connect(edtMsg, &ReceiveDisplay::doubleClicked, this, &TForm1::btnClearMsgClick);
    ShowInfo(QString::fromUtf8(kProductTitle) + QLatin1Char(' ') + QString::fromUtf8(kContactText) +
                 QStringLiteral("  ") + DateText(),
             kWindowText);
    cbbPeriodSend->setCurrentIndex(0);
    LoadManualPage();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TForm1::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    tmrPeriodSend.SetEnabled(false);
    tmrSend.stop();
    udpServerChannel_.Shutdown();
    udpClientChannel_.Shutdown();
    tcpServerChannel_.Shutdown();
    tcpClientChannel_.Shutdown();
    FormSettings(*this).Save();
}

void TForm1::UpdateStatusBar()
{
    StatusBar1->UpdateFrom(counters_);
}

void TForm1::StatusBar1Click()
{
    for (int channel = 0; channel < kChannelCount; ++channel)
        ShowInfo(StatusPanels::StatisticsLine(channel, counters_[channel]), kWindowText);
}

void TForm1::btnClearMsgClick()
{
    pipeline_.ClearDisplay();
    counters_.ClearAll();
    UpdateStatusBar();
}

void TForm1::chkKeepFrontClick()
{
    const bool onTop = chkKeepFront->isChecked();
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    show();
}

void TForm1::chkRelayClick()
{
    if (chkRelay->isChecked() && EndpointA() == EndpointB()) {
        chkRelay->setChecked(false);
        MessageBox::Show(QStringLiteral("转发双方不能相同"));
    }
}

void TForm1::cbbTextEncodingChange()
{
    TextCodec::SetPayloadEncoding(cbbTextEncoding->currentIndex() == 1 ? TextCodec::Encoding::kUtf8
                                                                       : TextCodec::Encoding::kGbk);
}

void TForm1::SendButtonClick(ChannelId channel)
{
    const SendPanel* panel = channelPages_.at(channel)->Panel();
    // A memo's lines end with CR LF, as typed text on the wire expects.
    const QString typed = panel->memo->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QByteArray text = TextCodec::Encode(typed, TextCodec::PayloadEncoding());
    const int source = SelectedIndex(cbSendFrom);
    if (source > 0)
        text = SendSourceText(source);
    if (text.isEmpty())
        return;
    if ((channel == COMA || channel == COMB) && panel->newline->isChecked())
        text.append("\r\n");
    SendToChannel(text, channel, panel->hex->isChecked());
}

void TForm1::chkPeriodSendClick()
{
    if (chkPeriodSend->isChecked()) {
        const PeriodTimer::Period period = PeriodTimer::ParsePeriod(edtPeriodSend->text());
        if (!period.valid)
            edtPeriodSend->setText(QString::number(period.ms));
        tmrPeriodSend.SetInterval(period.ms);
    }
    tmrPeriodSend.SetEnabled(chkPeriodSend->isChecked());
}

void TForm1::tmrPeriodSendTimer()
{
    if (!tmrPeriodSend.Tick(SelectedIndex(cbbPeriodSend)))
        chkPeriodSend->setChecked(false);
}

void TForm1::ValueListEditor1SelectCell(int row, int column)
{
    const QTableWidgetItem* cell = ValueListEditor1->item(row, column);
    if (cell && !cell->text().isEmpty())
        QGuiApplication::clipboard()->setText(cell->text());
}

void TForm1::edtFilePathClick()
{
    const QString path = FileChooser::ChooseFileToOpen(QStringLiteral("All files (*)"));
    if (path.isEmpty())
        return;
    edtFilePath->setText(QFileInfo(path).absoluteFilePath());
    ShowInfo(QStringLiteral("文件:%1 大小%2字节\n").arg(edtFilePath->text()).arg(FileSender::SizeOf(path)),
             kWindowText);
}

void TForm1::btnOpenFileClick()
{
    // A click during a transfer is ignored: a second transfer would
    // interleave its chunks with the first one's on the same channel.
    fileSender_.Start(edtFilePath->text());
}

bool TForm1::HelpInfo() const { return chkHelpInfo->isChecked(); }
bool TForm1::SendInfo() const { return chkSendInfo->isChecked(); }
bool TForm1::LogBound() const { return chkLog->isChecked(); }
bool TForm1::LatestOnly() const { return chkLatest->isChecked(); }
bool TForm1::Beep() const { return chkBeep->isChecked(); }
bool TForm1::HexShow() const { return chkHexShow->isChecked(); }
int TForm1::HexStyle() const { return SelectedIndex(cbbHexStyle); }
bool TForm1::Gps() const { return chkGPS->isChecked(); }
bool TForm1::AutoScroll() const { return chkGUN->isChecked(); }
QString TForm1::ExpectedLengthText() const { return edtCmpLen->text(); }
void TForm1::SetExpectedLengthText(const QString& text) { edtCmpLen->setText(text); }

bool TForm1::Echo(ChannelId channel) const
{
    return channel >= 0 && channel < kDataChannelCount && channelPages_[channel]->Panel()->echo->isChecked();
}

bool TForm1::RelayOn() const { return chkRelay->isChecked(); }
int TForm1::EndpointA() const { return SelectedIndex(cbbConnA); }
int TForm1::EndpointB() const { return SelectedIndex(cbbConnB); }

void TForm1::BuildWaveForm()
{
    // Created hidden with the window and kept for the whole run.
    waveForm = new TwaveForm(nullptr, this);
    pipeline_.SetWaveInput(waveForm);
    connect(btnWave, &QPushButton::clicked, this, &TForm1::btnWaveClick);
}

void TForm1::btnWaveClick()
{
    waveForm->show();
    waveForm->raise();
    waveForm->activateWindow();
}

void TForm1::ConnectWebLinks()
{
    CppWebBrowser1 = findChild<QTextBrowser*>(QStringLiteral("CppWebBrowser1"));
    // Links of the manual open in the desktop's browser, like the buttons.
    CppWebBrowser1->setOpenLinks(false);
    connect(CppWebBrowser1, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        // A link relative to the manual page leads to its host.
        UrlOpener::Open(web_.ManualUrl().resolved(url));
    });
    connect(&tmrSend, &QTimer::timeout, this, &TForm1::tmrSendTimer);
    connect(&NMHTTP1, &TNMHTTP::Success, this, &TForm1::NMHTTP1Success);
    connect(&NMHTTP1, &TNMHTTP::Failure, this,
            [this] { ShowInfo(QStringLiteral("获取版本信息失败  "), kWindowText); });
    connect(&manualHttp_, &TNMHTTP::Success, this, [this](int, const QByteArray& body) {
        QString page = QString::fromUtf8(body);
        if (page.contains(QChar::ReplacementCharacter))
            page = TextCodec::Decode(body);
        CppWebBrowser1->setHtml(page);
    });
    connect(btnFullScr, &QPushButton::clicked, this, &TForm1::btnFullScrClick);
    connect(btndocs, &QPushButton::clicked, this, &TForm1::btndocsClick);
    connect(btnPublicTcpServer, &QPushButton::clicked, this, &TForm1::btnPublicTcpServerClick);
}

void TForm1::LoadManualPage()
{
    if (!web_.versionCheck)
        return;
    if (const std::optional<HttpAddress> address = web_.ManualAddress())
        manualHttp_.Get(*address);
}

void TForm1::tmrSendTimer()
{
    // Once per start, however often the timer might fire.
    tmrSend.stop();
    if (!web_.versionCheck || NMHTTP1.Busy())
        return;
    const std::optional<HttpAddress> address =
        web_.VersionAddress(TCnHardDiskInfo().GetDiskSerialNo(0));
    if (!address) {
        ShowInfo(QStringLiteral("获取版本信息失败  "), kWindowText);
        return;
    }
    NMHTTP1.Get(*address, 0);
}

void TForm1::NMHTTP1Success(int Cmd, const QByteArray& body)
{
    if (Cmd != 0 && Cmd != 3)
        return;
    for (const VersionAnswer::Line& line : VersionAnswer::Lines(body))
        ShowInfo(line.text, line.color);
}

void TForm1::btnFullScrClick()
{
    UrlOpener::Open(web_.FullScreenUrl());
}

void TForm1::btndocsClick()
{
    UrlOpener::Open(web_.DocsUrl());
}

void TForm1::btnPublicTcpServerClick()
{
    UrlOpener::Open(web_.TcpTestUrl());
}
