#pragma once

#include "send/channel.h"
#include "serial/cn_rs232_config.h"

class TCnRS232;

// Serial channel B: the serial component Comm2 and its settings file. Opens
// the port the page's list offers, closes it, takes new settings; received
// chunks go to the receive sink under the label "COMB[" + device path + "]".
// The page learns of every change it shows through the signals.
class SerialBChannel : public Channel
{
    Q_OBJECT

public:
    // The settings file of port B, in the working folder.
    static inline const char* const kSettingsFile = "./CommPort.ini";
    static inline const char* const kSettingsSection = "COMCONFIG2";

    explicit SerialBChannel(ReceiveSink& sink, QObject* parent = nullptr);
    ~SerialBChannel() override;

    // Reads the settings file and announces the caption.
    void Start() override;

    // SendTarget: a closed port is opened as the open button does.
    bool OpensAutomatically() const override { return true; }
    bool IsOpen() const override;
    void StartOpening() override { Open(); }
    // Queues the whole payload, in pieces of at most 65535 bytes, in order.
    WriteResult Write(const QByteArray& payload) override;

    // The port and its settings, as the caption shows them after "串口B ".
    QString DescribePortB() const;
    // Opened by the user or the dispatcher and not closed since. A port that
    // failed while open still counts as opened until the user closes it.
    bool Opened() const { return opened_; }

    // What the page's port list offers to open: the text of its selected
    // entry (`listed`), or the text typed into it when no entry is selected.
    void ChoosePort(const QString& text, bool listed);
    // The open button on the chosen entry: "刷新" asks for the lists to be
    // reloaded; a listed entry names its port before the "("; a typed text is
    // a device path. A probe or open failure shows its message box.
    void Open();
    void Close();
    // New line settings and time-outs (from the settings dialog), in force at
    // once and written to the settings file.
    void ApplySettings(const TCnRS232Config& config, const TCnRS232Timeouts& timeouts);

    void Comm2ReceiveData(const QByteArray& chunk);
    // The open port failed: one line in the display, the channel stays opened.
    void Comm2Failure(const QString& reason);

    TCnRS232* Comm2;

signals:
    // The text the page shows as its caption: "串口B " + DescribePortB().
    void CaptionChanged(const QString& caption);
    void OpenedChanged(bool opened);
    // "刷新" was opened: both port lists are to be filled again.
    void PortListsReloadRequested();

private:
    void AnnounceCaption();
    void SetOpened(bool opened);

    QString chosenText_;
    bool chosenListed_ = false;
    bool opened_ = false;
};
