#pragma once

#include "io/tnr_log.h"
#include "terminal/tnr_ansi.h"
#include "terminal/tnr_decoder_utf8.h"
#include "terminal/tnr_telnet.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

// Colours are 0x00RRGGBB; kDefaultColor stands for "the control's own colour".
constexpr quint32 kDefaultColor = 0x20000000;

struct TAttr
{
    quint32 FgColor = 0;
    quint32 BgColor = 0;
    quint8 Blink = 0;
    quint8 Bold = 0;
    bool operator==(const TAttr&) const = default;
};

// One character cell: a UTF-16 code unit (0 = empty) and its attribute.
struct TnrCell
{
    char16_t Char = 0;
    TAttr Attr;
    bool operator==(const TnrCell&) const = default;
};

enum TnrDetectedMouseMode { dmmNone, dmmX10, dmmVT200, dmmVT200Highlight, dmmCell, dmmAny };

// The terminal's screen model: both screens, the attributes, the caret, the
// scroll region and the modes, driven by the escape, telnet and UTF-8
// decoders it owns and feeds byte by byte. It draws nothing: it records which
// cells changed since the painter last took them, and hands what it sends
// (answers to queries, telnet answers) to its callbacks.
class TnrTerminalScreen
{
public:
    static constexpr unsigned kMaxRows = 500;
    static constexpr unsigned kMaxColumns = 500;

    // The 16 colours of the attribute commands (the VGA text palette).
    static const quint32 kPalette[16];

    TnrTerminalScreen();
    ~TnrTerminalScreen();
    TnrTerminalScreen(const TnrTerminalScreen&) = delete;
    TnrTerminalScreen& operator=(const TnrTerminalScreen&) = delete;

    // Back to the state of creation, keeping the size and the default
    // colours: empty main screen, default attribute, caret home, whole-screen
    // region, application cursor keys, visible caret, decoders reset.
    void Reset();

    // --- Received bytes.
    void TerminalInputChar(unsigned char byte);
    void TerminalInputStr(QByteArrayView text);
    bool Utf8 = false;

    // --- Size: new empty screens, the whole screen as scroll region, the
    // caret clamped, and the telnet window size report. Sizes are kept
    // within 1 to kMaxColumns and 1 to kMaxRows.
    void SetTerminalSize(unsigned columns, unsigned rows);
    unsigned Rows() const { return rows_; }
    unsigned Columns() const { return columns_; }

    // --- Cells of the current screen; outside the screen the setters do
    // nothing and the getters read 0.
    char16_t GetCharXY(int column, int row) const;
    void SetCharXY(int column, int row, char16_t character);
    TAttr GetAttrXY(int column, int row) const;
    void SetAttrXY(int column, int row, const TAttr& attr);
    const TnrCell& Cell(int column, int row) const { return Current()[Index(column, row)]; }
    // Every cell becomes a space with the default attribute.
    void ClearScreen();

    // --- Attributes.
    const TAttr& DefaultAttr() const { return defaultAttr_; }
    const TAttr& CurrentAttr() const { return currentAttr_; }
    // The font and control colours: the default attribute follows them and
    // the current attribute is reset to it.
    void SetDefaultColors(quint32 fg, quint32 bg);

    // --- Caret and modes.
    int CaretX() const { return caretX_; }
    int CaretY() const { return caretY_; }
    bool CaretVisible() const { return caretVisible_; }
    bool CursorKeysApplication() const { return keysApplication_; }
    bool AlternateScreen() const { return current_ == 1; }
    // 1-based and inclusive.
    int ScrollTop() const { return top_; }
    int ScrollBottom() const { return bottom_; }
    bool MouseModeOn(TnrDetectedMouseMode mode) const { return (mouseModes_ & (1U << mode)) != 0; }
    bool AnyMouseMode() const { return mouseModes_ != 0; }

    // --- The record of changed cells since the last TakeDamage.
    struct Damage
    {
        bool full = false;         // every cell changed
        std::vector<int> cells;    // row-major indices, each once
        bool caretMoved = false;
        bool caretShapeChanged = false;
    };
    // Hands over the record and starts a new one.
    Damage TakeDamage();
    bool HasDamage() const { return damageFull_ || !damaged_.empty() || caretMoved_ || caretShapeChanged_; }
    // Whether some cell of the current screen blinks.
    bool AnyBlinking() const;

    // --- Decoders (tests and the widget reach them).
    TnrAnsi& Ansi() { return *ansi_; }
    TnrTelnet& Telnet() { return *telnet_; }

    // What the terminal sends: answers to queries go through OnSend (the
    // terminal's SendEscString); telnet answers go through OnTelnetSend (the
    // attached device's send). Unset callbacks send nothing.
    std::function<void(QByteArrayView bytes)> OnSend;
    std::function<void(QByteArrayView bytes)> OnTelnetSend;
    std::function<void()> OnBeep;
    // Called whenever a blinking attribute is chosen.
    std::function<void()> OnBlinkStart;
    TnrLog* Log = nullptr;

private:
    std::vector<TnrCell>& Current() { return screens_[current_]; }
    const std::vector<TnrCell>& Current() const { return screens_[current_]; }
    int Index(int column, int row) const { return row * static_cast<int>(columns_) + column; }
    bool Inside(int column, int row) const
    {
        return column >= 0 && row >= 0 && column < static_cast<int>(columns_) && row < static_cast<int>(rows_);
    }

    void PutChar(char16_t character);
    void UpdateCaret(qint64 column, qint64 row, bool wrap);
    void ScrollRegion(qint64 lines);
    void EraseCells(int from, int to);
    void MarkCell(int index);
    void MarkRange(int from, int to);
    void MarkAll() { damageFull_ = true; }
    void AnsiPacket(TnrDataPacket* packet, TnrAnsiCommands command);
    void SetAttributes(const TnrAnsiArguments& arguments);
    void PrivateMode(int mode, bool set);
    void Send(QByteArrayView bytes);
    void Logging(TDetailLevel level, const QString& text) const;

    TnrAnsi* ansi_;
    TnrTelnet* telnet_;
    TnrDecoderUTF8 utf8_;

    unsigned rows_ = 24;
    unsigned columns_ = 80;
    std::vector<TnrCell> screens_[2];
    int current_ = 0;

    TAttr defaultAttr_{kDefaultColor, kDefaultColor, 0, 0};
    TAttr currentAttr_ = defaultAttr_;
    TAttr savedAttr_ = defaultAttr_;
    int caretX_ = 0;
    int caretY_ = 0;
    int savedX_ = 0;
    int savedY_ = 0;
    int top_ = 1;
    int bottom_ = 24;
    bool keysApplication_ = true;
    bool caretVisible_ = true;
    unsigned mouseModes_ = 0;

    bool damageFull_ = false;
    std::vector<int> damaged_;
    std::vector<quint8> damagedFlag_;
    bool caretMoved_ = false;
    bool caretShapeChanged_ = false;
};
