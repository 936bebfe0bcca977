#include "terminal/tnr_terminal_screen.h"

#include <algorithm>

const quint32 TnrTerminalScreen::kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

TnrTerminalScreen::TnrTerminalScreen() : ansi_(new TnrAnsi), telnet_(new TnrTelnet)
{
    ansi_->OnAnsiPacket = [this](TnrAnsi*, TnrDataPacket* packet, TnrAnsiCommands command) {
        AnsiPacket(packet, command);
    };
    // The terminal routes telnet answers itself: the responder never writes
    // to a device of its own.
    telnet_->OnDataSend = [this](TnrCustomDataProcessor*, const char* buffer, quint32 length, bool, bool& handled) {
        handled = true;
        if (OnTelnetSend)
            OnTelnetSend(QByteArrayView(buffer, length));
    };
    telnet_->SetTerminalSize(columns_, rows_, false);
    for (auto& screen : screens_)
        screen.assign(static_cast<size_t>(rows_) * columns_, TnrCell{});
    damagedFlag_.assign(static_cast<size_t>(rows_) * columns_, 0);
}

TnrTerminalScreen::~TnrTerminalScreen()
{
    delete ansi_;
    delete telnet_;
}

void TnrTerminalScreen::Reset()
{
    ansi_->Reset();
    telnet_->Reset();
    utf8_.Reset();
    for (auto& screen : screens_)
        std::fill(screen.begin(), screen.end(), TnrCell{});
    current_ = 0;
    currentAttr_ = savedAttr_ = defaultAttr_;
    caretX_ = caretY_ = savedX_ = savedY_ = 0;
    top_ = 1;
    bottom_ = static_cast<int>(rows_);
    keysApplication_ = true;
    caretVisible_ = true;
    mouseModes_ = 0;
    MarkAll();
    caretMoved_ = true;
}

// ---------------------------------------------------------------- bytes

void TnrTerminalScreen::TerminalInputChar(unsigned char byte)
{
    if (telnet_->IsPacket(byte) >= 0) {
        ansi_->Reset();
        return;
    }
    if (ansi_->IsPacket(byte) >= 0) {
        telnet_->Reset();
        return;
    }
    if (telnet_->IsPacketPossible() || ansi_->IsPacketPossible())
        return;
    switch (byte) {
    case 7:
        if (OnBeep)
            OnBeep();
        return;
    case 8:
        UpdateCaret(std::max(caretX_ - 1, 0), caretY_, false);
        return;
    case 10: {
        UpdateCaret(caretX_, qint64(caretY_) + 1, true);
        const int index = Index(0, caretY_);
        Current()[index].Attr = currentAttr_;
        MarkCell(index);
        return;
    }
    case 13:
        UpdateCaret(0, caretY_, true);
        return;
    case 15:
        return;
    default:
        break;
    }
    char16_t character = byte;
    if (Utf8 && !utf8_.Decode(byte, character))
        return;
    PutChar(character);
}

void TnrTerminalScreen::TerminalInputStr(QByteArrayView text)
{
    for (const char c : text)
        TerminalInputChar(static_cast<unsigned char>(c));
}

void TnrTerminalScreen::PutChar(char16_t character)
{
    const int index = Index(caretX_, caretY_);
    TnrCell& cell = Current()[index];
    cell.Char = character;
    cell.Attr = currentAttr_;
    MarkCell(index);
    UpdateCaret(qint64(caretX_) + 1, caretY_, true);
}

// ---------------------------------------------------------------- caret and scrolling

void TnrTerminalScreen::UpdateCaret(qint64 column, qint64 row, bool wrap)
{
    const qint64 columns = columns_;
    const qint64 rows = rows_;
    column = std::max<qint64>(column, 0);
    row = std::max<qint64>(row, 0);
    if (column >= columns) {
        if (wrap) {
            row += column / columns;
            column %= columns;
        } else {
            column = columns - 1;
        }
    }
    if (row >= bottom_) {
        // Past the region's last line. A wrapping move out of the region
        // scrolls it and stays on its last line, as a VT100 does at the
        // bottom margin; below the region, and for addressed moves, the row
        // is only kept on the screen. With the whole screen as region both
        // come to the same: scroll, then the last line.
        if (wrap && caretY_ < bottom_) {
            ScrollRegion(row - bottom_ + 1);
            row = bottom_ - 1;
        } else {
            row = std::min(row, rows - 1);
        }
    }
    if (column != caretX_ || row != caretY_)
        caretMoved_ = true;
    caretX_ = static_cast<int>(column);
    caretY_ = static_cast<int>(row);
}

void TnrTerminalScreen::ScrollRegion(qint64 lines)
{
    const int top = top_ - 1;
    const int height = bottom_ - top_ + 1;
    const qint64 count = std::min<qint64>(lines < 0 ? -lines : lines, height);
    if (count == 0)
        return;
    const auto columns = static_cast<qsizetype>(columns_);
    std::vector<TnrCell>& screen = Current();
    auto first = screen.begin() + top * columns;
    auto last = first + height * columns;
    const auto shift = static_cast<qsizetype>(count) * columns;
    if (lines > 0) {
        std::move(first + shift, last, first);
        std::fill(last - shift, last, TnrCell{});
    } else {
        std::move_backward(first, last - shift, last);
        std::fill(first, first + shift, TnrCell{});
    }
    MarkAll();
}

// ---------------------------------------------------------------- size and cells

void TnrTerminalScreen::SetTerminalSize(unsigned columns, unsigned rows)
{
    columns_ = std::clamp(columns, 1U, kMaxColumns);
    rows_ = std::clamp(rows, 1U, kMaxRows);
    const size_t cells = static_cast<size_t>(rows_) * columns_;
    for (auto& screen : screens_)
        screen.assign(cells, TnrCell{});
    damagedFlag_.assign(cells, 0);
    damaged_.clear();
    MarkAll();
    top_ = 1;
    bottom_ = static_cast<int>(rows_);
    savedX_ = std::min(savedX_, static_cast<int>(columns_) - 1);
    savedY_ = std::min(savedY_, static_cast<int>(rows_) - 1);
    UpdateCaret(caretX_, caretY_, false);
    telnet_->SetTerminalSize(columns_, rows_, true);
}

char16_t TnrTerminalScreen::GetCharXY(int column, int row) const
{
    return Inside(column, row) ? Cell(column, row).Char : 0;
}

void TnrTerminalScreen::SetCharXY(int column, int row, char16_t character)
{
    if (!Inside(column, row))
        return;
    Current()[Index(column, row)].Char = character;
    MarkCell(Index(column, row));
}

TAttr TnrTerminalScreen::GetAttrXY(int column, int row) const
{
    return Inside(column, row) ? Cell(column, row).Attr : TAttr{};
}

void TnrTerminalScreen::SetAttrXY(int column, int row, const TAttr& attr)
{
    if (!Inside(column, row))
        return;
    Current()[Index(column, row)].Attr = attr;
    MarkCell(Index(column, row));
}

void TnrTerminalScreen::ClearScreen()
{
    std::fill(Current().begin(), Current().end(), TnrCell{u' ', defaultAttr_});
    MarkAll();
}

void TnrTerminalScreen::SetDefaultColors(quint32 fg, quint32 bg)
{
    defaultAttr_ = TAttr{fg, bg, 0, 0};
    currentAttr_ = defaultAttr_;
    MarkAll();
}

void TnrTerminalScreen::EraseCells(int from, int to)
{
    const int last = static_cast<int>(Current().size()) - 1;
    from = std::clamp(from, 0, last);
    to = std::clamp(to, 0, last);
    if (from > to)
        return;
    std::fill(Current().begin() + from, Current().begin() + to + 1, TnrCell{});
    MarkRange(from, to);
}

// ---------------------------------------------------------------- damage record

void TnrTerminalScreen::MarkCell(int index)
{
    if (damageFull_ || damagedFlag_[static_cast<size_t>(index)] != 0)
        return;
    damagedFlag_[static_cast<size_t>(index)] = 1;
    damaged_.push_back(index);
    // Past a quarter of the screen one full repaint is cheaper than the list.
    if (damaged_.size() * 4 > damagedFlag_.size())
        MarkAll();
}

void TnrTerminalScreen::MarkRange(int from, int to)
{
    if (to - from + 1 > static_cast<int>(damagedFlag_.size()) / 4) {
        MarkAll();
        return;
    }
    for (int i = from; i <= to; ++i)
        MarkCell(i);
}

TnrTerminalScreen::Damage TnrTerminalScreen::TakeDamage()
{
    Damage damage;
    damage.full = damageFull_;
    damage.caretMoved = caretMoved_;
    damage.caretShapeChanged = caretShapeChanged_;
    for (const int index : damaged_)
        damagedFlag_[static_cast<size_t>(index)] = 0;
    if (!damageFull_)
        damage.cells.swap(damaged_);
    damaged_.clear();
    damageFull_ = false;
    caretMoved_ = false;
    caretShapeChanged_ = false;
    return damage;
}

bool TnrTerminalScreen::AnyBlinking() const
{
    return std::any_of(Current().begin(), Current().end(), [](const TnrCell& cell) { return cell.Attr.Blink != 0; });
}

// ---------------------------------------------------------------- commands

void TnrTerminalScreen::Send(QByteArrayView bytes)
{
    if (OnSend)
        OnSend(bytes);
}

void TnrTerminalScreen::Logging(TDetailLevel level, const QString& text) const
{
    if (Log != nullptr)
        Log->AddLog(level, text);
}

void TnrTerminalScreen::AnsiPacket(TnrDataPacket* packet, TnrAnsiCommands command)
{
    const TnrAnsiArguments& arguments = ansi_->GetArguments(packet);
    const size_t n = arguments.size();
    const qint64 a1 = n > 0 ? arguments[0].Value : 0;
    const qint64 a2 = n > 1 ? arguments[1].Value : 0;
    auto sequence = [packet] { return QString::fromLatin1(packet->GetDataAsString()); };
    const qint64 distance = n == 1 ? a1 : 1;
    switch (command) {
    case acCursorHome:
    case acCursorHome2: {
        const qint64 row = std::max<qint64>(a1 - 1, 0);
        const qint64 column = std::max<qint64>(a2 - 1, 0);
        UpdateCaret(column, row, false);
        if (Log != nullptr)
            Logging(dlDebug, QStringLiteral("+===== CursorHome=%1 : %2").arg(caretX_).arg(caretY_));
        break;
    }
    case acCursorUp:
        UpdateCaret(caretX_, caretY_ - distance, false);
        break;
    case acCursorDown:
        UpdateCaret(caretX_, caretY_ + distance, false);
        break;
    case acCursorForward:
        UpdateCaret(caretX_ + distance, caretY_, false);
        break;
    case acCursorBackward:
        UpdateCaret(caretX_ - distance, caretY_, false);
        break;
    case acCursorLine:
        UpdateCaret(caretX_, n == 1 ? a1 - 1 : 0, false);
        break;
    case acCursorColumn:
        UpdateCaret(n == 1 ? a1 - 1 : 0, caretY_, false);
        break;
    case acSaveCursorAndAttrs:
        savedAttr_ = currentAttr_;
        savedX_ = caretX_;
        savedY_ = caretY_;
        break;
    case acRestoreCursorAndAttrs:
        currentAttr_ = savedAttr_;
        UpdateCaret(savedX_, savedY_, false);
        break;
    case acScrollDown:
        ScrollRegion(1);
        break;
    case acScrollUp:
        ScrollRegion(-1);
        break;
    case acDeleteLine:
        ScrollRegion(n == 1 ? a1 : 1);
        break;
    case acInsertLine:
        ScrollRegion(-(n == 1 ? a1 : 1));
        break;
    case acEraseLine: {
        const int start = Index(0, caretY_);
        const int caret = Index(caretX_, caretY_);
        const int end = Index(static_cast<int>(columns_) - 1, caretY_);
        if (a1 == 0)
            EraseCells(caret, end);
        else if (a1 == 1)
            EraseCells(start, caret);
        else if (a1 == 2)
            EraseCells(start, end);
        break;
    }
    case acEraseLines: {
        const int caret = Index(caretX_, caretY_);
        const int end = static_cast<int>(Current().size()) - 1;
        if (a1 == 0)
            EraseCells(caret, end);
        else if (a1 == 1)
            EraseCells(0, caret);
        else if (a1 == 2)
            EraseCells(0, end);
        break;
    }
    case acEraseChars: {
        const qint64 count = n == 0 ? 1 : a1;
        if (count <= 0)
            break;
        const int caret = Index(caretX_, caretY_);
        const qint64 last = std::min<qint64>(qint64(caretX_) + count - 1, columns_ - 1);
        EraseCells(caret, caret + static_cast<int>(last - caretX_));
        break;
    }
    case acSetAttributeMode:
        SetAttributes(arguments);
        break;
    case acSetModePrivate:
    case acResetModePrivate:
        if (n == 1)
            PrivateMode(static_cast<int>(a1), command == acSetModePrivate);
        break;
    case acSetScrollRegion:
        // A region that does not lie within the screen with its top above
        // its bottom would address lines outside the screen: it becomes the
        // whole screen, as no region does.
        if (n == 2 && a1 >= 1 && a2 <= rows_ && a1 < a2) {
            top_ = static_cast<int>(a1);
            bottom_ = static_cast<int>(a2);
        } else {
            top_ = 1;
            bottom_ = static_cast<int>(rows_);
        }
        if (Log != nullptr)
            Logging(dlDebug, QStringLiteral("*******************   Set Scroll Region: %1:%2").arg(top_).arg(bottom_));
        break;
    case acNewLine:
        UpdateCaret(0, qint64(caretY_) + 1, true);
        break;
    case acQueryDeviceStatus:
        Send("\033[0n");
        break;
    case acQueryCursorPosition:
        Send(QByteArray("\033[") + QByteArray::number(caretY_ + 1) + ';' + QByteArray::number(caretX_ + 1) + 'R');
        break;
    case acKeyModeApp:
    case acKeyModeNormal:
        if (Log != nullptr)
            Logging(dlDetail, QStringLiteral(" Change Key Mode: ") + sequence());
        break;
    case acVTWindow:
        break;
    default:
        if (Log != nullptr)
            Logging(dlDebug, QStringLiteral("Unhandled: ") + sequence());
        break;
    }
}

void TnrTerminalScreen::SetAttributes(const TnrAnsiArguments& arguments)
{
    if (arguments.empty()) {
        currentAttr_ = defaultAttr_;
        return;
    }
    for (const TnrAnsiArgument& argument : arguments) {
        const int v = argument.Value;
        if (v == 0 || v == 10) {
            currentAttr_ = defaultAttr_;
        } else if (v == 1) {
            currentAttr_.Bold = 1;
        } else if (v == 5) {
            currentAttr_.Blink = 1;
            if (OnBlinkStart)
                OnBlinkStart();
        } else if (v == 7) {
            currentAttr_.FgColor = defaultAttr_.BgColor;
            currentAttr_.BgColor = defaultAttr_.FgColor;
        } else if (v % 10 == 8 || v % 10 == 9) {
            currentAttr_ = defaultAttr_;
        } else if (v / 10 == 4) {
            currentAttr_.BgColor = kPalette[v % 10];
        } else {
            currentAttr_.FgColor = kPalette[v % 10 + (currentAttr_.Bold != 0 ? 8 : 0)];
        }
    }
}

void TnrTerminalScreen::PrivateMode(int mode, bool set)
{
    auto mouse = [this, set](TnrDetectedMouseMode which) {
        if (set)
            mouseModes_ |= 1U << which;
        else
            mouseModes_ &= ~(1U << which);
    };
    switch (mode) {
    case 1:
        keysApplication_ = set;
        break;
    case 9:
        mouse(dmmX10);
        break;
    case 25:
        caretVisible_ = set;
        caretShapeChanged_ = true;
        break;
    case 47:
    case 1047:
    case 1049:
        if (set) {
            if (mode == 1049) {
                savedX_ = caretX_;
                savedY_ = caretY_;
            }
            current_ = 1;
            if (mode == 1049)
                std::fill(Current().begin(), Current().end(), TnrCell{});
        } else {
            if (current_ == 1) {
                std::fill(Current().begin(), Current().end(), TnrCell{});
                current_ = 0;
            }
            if (mode == 1049)
                UpdateCaret(savedX_, savedY_, false);
        }
        MarkAll();
        break;
    case 1000:
        mouse(dmmVT200);
        break;
    case 1001:
        mouse(dmmVT200Highlight);
        break;
    case 1002:
        mouse(dmmCell);
        break;
    case 1003:
        mouse(dmmAny);
        break;
    default:
        if (Log != nullptr)
            Logging(dlDetail,
                    QStringLiteral("Unhandled Mode Change: %1 = %2").arg(mode).arg(set ? 1 : 0));
        break;
    }
}
