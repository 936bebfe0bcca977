#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_terminal_link.h"
#include "terminal/tnr_terminal_screen.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

enum TnrCaretView { cvVert, cvHoriz, cvSquare };
enum TnrTerminalOption { toFKeyToEsc = 1, toCharToOEM = 2, toEscToDbl = 4 };
using TnrTerminalOptions = int;
enum TnrEnterKeySequence { ekCR, ekLF, ekCRLF, ekLFCR };
enum TnrTerminalMouseMode { tmmAuto, tmMoveCursor, tmmNone };

// The character-cell terminal control: it paints its screen model (changed
// cells only, at most about 60 times a second, into an off-screen image) and
// turns keys into bytes. A device component adopts it through the terminal
// link: received bytes arrive as characters and text runs, typed characters
// go back through the device's TerminalKeyPressed, which sends them and says
// whether to show them. Escape sequences, answers and telnet replies go
// straight to the device and are never shown.
class TnrTerminal : public QWidget, public TnrTerminalLink
{
    Q_OBJECT

public:
    // Setting Handled keeps the bytes from going out.
    using TnrStrFromTerminalEvent = std::function<void(TnrTerminal* Sender, const QByteArray& sEsc, bool& Handled)>;

    static constexpr int kMargin = 2;

    explicit TnrTerminal(QWidget* parent = nullptr);
    ~TnrTerminal() override;

    // Changing the size gives new, empty screens and reports the size to the device.
    unsigned Rows() const { return screen_.Rows(); }
    unsigned Columns() const { return screen_.Columns(); }
    void SetRows(unsigned rows) { SetTerminalSize(Columns(), rows); }
    void SetColumns(unsigned columns) { SetTerminalSize(columns, Rows()); }
    void SetTerminalSize(unsigned columns, unsigned rows);

    TnrCaretView CaretView() const { return caretView_; }
    void SetCaretView(TnrCaretView view);
    TnrTerminalOptions Options() const { return options_; }
    void SetOptions(TnrTerminalOptions options) { options_ = options; }
    TnrEnterKeySequence EnterKey() const { return enterKey_; }
    void SetEnterKey(TnrEnterKeySequence key) { enterKey_ = key; }
    bool Utf8() const { return screen_.Utf8; }
    void SetUtf8(bool on) { screen_.Utf8 = on; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on) { autoSize_ = on; }
    TnrTerminalMouseMode MouseMode() const { return mouseMode_; }
    void SetMouseMode(TnrTerminalMouseMode mode) { mouseMode_ = mode; }
    TnrLog* Log() const { return screen_.Log; }
    void SetLog(TnrLog* log) { screen_.Log = log; }
    // The font colour and the control colour; both reset the attributes.
    QColor FontColor() const { return fontColor_; }
    void SetFontColor(const QColor& color);
    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    virtual void ClearScreen();
    char16_t GetCharXY(int column, int row) const { return screen_.GetCharXY(column, row); }
    void SetCharXY(int column, int row, char16_t c);
    TAttr GetAttrXY(int column, int row) const { return screen_.GetAttrXY(column, row); }
    void SetAttrXY(int column, int row, const TAttr& attr);
    // Painting waits while updates are begun, and catches up when the last ends.
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void RepaintScreen();

    // Received bytes, as the device feeds them.
    void TerminalInputChar(unsigned char byte);
    void TerminalInputStr(QByteArrayView text);
    // The way the terminal sends: OnStrFromTerminal first, then the device.
    void SendEscString(const QByteArray& text);

    // TnrTerminalLink
    void AttachDevice(TnrBaseIO* device) override;
    void ReceiveChar(char c) override;
    void InsertText(QByteArrayView text) override;
    TnrBaseIO* Device() const { return device_; }

    TnrTerminalScreen& Screen() { return screen_; }
    QSize CellSize() const { return cell_; }
    int FirstVisibleColumn() const { return firstColumn_; }
    int FirstVisibleLine() const { return firstLine_; }
    // Paints what changed now rather than at the next refresh tick.
    void Flush() { Refresh(); }
    // Cells painted into the off-screen image so far (the painter's work).
    qint64 PaintedCells() const { return paintedCells_; }
    const QImage& ScreenImage() const { return image_; }

    TnrStrFromTerminalEvent OnStrFromTerminal;

signals:
    void CaretMove();
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    void ScheduleRefresh();
    void Refresh();
    void UpdateCellSize();
    void ResizeImage();
    void PaintCell(QPainter& painter, int column, int row);
    void KeepCaretInView();
    int VisibleColumns() const;
    int VisibleLines() const;
    QRect CaretRect() const;
    void ApplyDefaultColors();
    void BlinkTick();
    void SendTyped(const QByteArray& bytes);

    TnrTerminalScreen screen_;
    QPointer<TnrBaseIO> device_;
    QImage image_;
    QSize cell_{8, 16};
    int firstColumn_ = 0;
    int firstLine_ = 0;
    int updateCount_ = 0;
    bool blinkPhase_ = false;
    qint64 paintedCells_ = 0;
    QRect caretRect_;

    QColor fontColor_{Qt::yellow};
    QColor color_{Qt::black};
    TnrCaretView caretView_ = cvSquare;
    TnrTerminalOptions options_ = 0;
    TnrEnterKeySequence enterKey_ = ekCR;
    TnrTerminalMouseMode mouseMode_ = tmmAuto;
    bool autoSize_ = false;

    QTimer refreshTimer_;
    QTimer blinkTimer_;
    QTimer resizeTimer_;
};
