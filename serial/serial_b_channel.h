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
    // A closed or failed port sends nothing: one line says why.
    WriteResult Write(const QByteArray& payload) override;

    // Outgoing flow control at port B's baud rate; see Channel.
    bool Congested() const override;
    void SetReceivePaused(bool paused) override;

    // The port and its settings, as the caption shows them after "串口B ".
    QString DescribePortB() const;
    // Opened by the user or the dispatcher and not closed since. A port that
    // failed while open still counts as opened until the user closes it, but
    // is Failed() meanwhile.
    bool Opened() const { return opened_; }
    bool Failed() const { return failed_; }

    // What the page's port list offers to open: the text of its selected
    // entry (`listed`), or the text typed into it when no entry is selected.
    void ChoosePort(const QString& text, bool listed);
    // The open button on the chosen entry: "刷新" asks for the lists to be
    // reloaded; a listed entry names its port before the "("; a typed text is
    // a device path. A probe or open failure shows its message box: a port
    // another program holds says so, any other probe failure gives the
    // system's reason.
    void Open();
    void Close();
    // New line settings and time-outs (from the settings dialog), in force at
    // once and written to the settings file.
    void ApplySettings(const TCnRS232Config& config, const TCnRS232Timeouts& timeouts);

    void Comm2ReceiveData(const QByteArray& chunk);
    // The open port failed: one line in the display; the channel stays
    // opened, and failed, until the user closes it.
    void Comm2Failure(const QString& reason);

    TCnRS232* Comm2;

signals:
    // The text the page shows as its caption: "串口B " + DescribePortB().
    void CaptionChanged(const QString& caption);
    void OpenedChanged(bool opened);
    // The opened port failed (true), or was closed or opened again (false).
    void FailedChanged(bool failed);
    // "刷新" was opened: both port lists are to be filled again.
    void PortListsReloadRequested();

private:
    void AnnounceCaption();
    void SetOpened(bool opened);
    void SetFailed(bool failed);
    // One display line for a send that did not go out.
    WriteResult SendFailure(const QString& reason) const;

    QString chosenText_;
    bool chosenListed_ = false;
    bool opened_ = false;
    bool failed_ = false;
};
