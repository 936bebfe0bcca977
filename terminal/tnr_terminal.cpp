#include "terminal/tnr_terminal.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kRefreshMs = 16;  // about 60 paints a second at most
constexpr int kBlinkMs = 700;
constexpr int kAutoSizeMs = 1000;

QColor FromRgb(quint32 rgb) { return QColor::fromRgb(static_cast<QRgb>(0xFF000000U | (rgb & 0xFFFFFFU))); }
quint32 ToRgb(const QColor& color) { return color.rgb() & 0xFFFFFFU; }

}  // namespace

TnrTerminal::TnrTerminal(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QFont terminalFont(QStringLiteral("Terminal"));
    terminalFont.setStyleHint(QFont::TypeWriter);
    terminalFont.setFixedPitch(true);
    setFont(terminalFont);

    screen_.OnSend = [this](QByteArrayView bytes) { SendEscString(bytes.toByteArray()); };
    screen_.OnTelnetSend = [this](QByteArrayView bytes) {
        if (device_)
            device_->SendData(bytes.data(), static_cast<quint32>(bytes.size()));
    };
    screen_.OnBeep = [] { QApplication::beep(); };
    screen_.OnBlinkStart = [this] {
        if (!blinkTimer_.isActive())
            blinkTimer_.start();
    };

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &TnrTerminal::Refresh);
    blinkTimer_.setInterval(kBlinkMs);
    connect(&blinkTimer_, &QTimer::timeout, this, &TnrTerminal::BlinkTick);
    resizeTimer_.setSingleShot(true);
    resizeTimer_.setInterval(kAutoSizeMs);
    connect(&resizeTimer_, &QTimer::timeout, this, [this] {
        if (autoSize_ && VisibleColumns() > 0 && VisibleLines() > 0)
            SetTerminalSize(static_cast<unsigned>(VisibleColumns()), static_cast<unsigned>(VisibleLines()));
    });

    UpdateCellSize();
    ApplyDefaultColors();
    ResizeImage();
}

TnrTerminal::~TnrTerminal()
{
    // The device keeps a plain reference to its terminal: let it go first.
    if (device_ && device_->Terminal() == this)
        device_->SetTerminal(nullptr);
}

// ---------------------------------------------------------------- properties

void TnrTerminal::SetTerminalSize(unsigned columns, unsigned rows)
{
    screen_.SetTerminalSize(columns, rows);
    firstColumn_ = 0;
    firstLine_ = 0;
    ResizeImage();
    RepaintScreen();
}

void TnrTerminal::SetCaretView(TnrCaretView view)
{
    caretView_ = view;
    update();
}

void TnrTerminal::SetFontColor(const QColor& color)
{
    fontColor_ = color;
    ApplyDefaultColors();
    RepaintScreen();
}

void TnrTerminal::SetColor(const QColor& color)
{
    color_ = color;
    ApplyDefaultColors();
    RepaintScreen();
}

void TnrTerminal::ApplyDefaultColors() { screen_.SetDefaultColors(ToRgb(fontColor_), ToRgb(color_)); }

void TnrTerminal::ClearScreen()
{
    screen_.ClearScreen();
    ScheduleRefresh();
}

void TnrTerminal::SetCharXY(int column, int row, char16_t c)
{
    screen_.SetCharXY(column, row, c);
    ScheduleRefresh();
}

void TnrTerminal::SetAttrXY(int column, int row, const TAttr& attr)
{
    screen_.SetAttrXY(column, row, attr);
    ScheduleRefresh();
}

void TnrTerminal::EndUpdate()
{
    if (updateCount_ > 0 && --updateCount_ == 0)
        Refresh();
}

void TnrTerminal::RepaintScreen()
{
    screen_.TakeDamage();
    QPainter painter(&image_);
    painter.setFont(font());
    for (int row = 0; row < static_cast<int>(Rows()); ++row)
        for (int column = 0; column < static_cast<int>(Columns()); ++column)
            PaintCell(painter, column, row);
    caretRect_ = CaretRect();
    update();
}

// ---------------------------------------------------------------- feeding and sending

void TnrTerminal::TerminalInputChar(unsigned char byte)
{
    screen_.TerminalInputChar(byte);
    ScheduleRefresh();
}

void TnrTerminal::TerminalInputStr(QByteArrayView text)
{
    screen_.TerminalInputStr(text);
    ScheduleRefresh();
}

void TnrTerminal::AttachDevice(TnrBaseIO* device) { device_ = device; }

void TnrTerminal::ReceiveChar(char c) { TerminalInputChar(static_cast<unsigned char>(c)); }

void TnrTerminal::InsertText(QByteArrayView text) { TerminalInputStr(text); }

void TnrTerminal::SendEscString(const QByteArray& text)
{
    if (text.isEmpty())
        return;
    bool handled = false;
    if (OnStrFromTerminal)
        OnStrFromTerminal(this, text, handled);
    if (handled || !device_)
        return;
    // Sent as one write, never shown. Answers made while the device is
    // feeding the terminal go out as well.
    if (device_->TerminalUsage() == tuSend || device_->TerminalUsage() == tuBoth)
        device_->SendData(text.constData(), static_cast<quint32>(text.size()));
}

void TnrTerminal::SendTyped(const QByteArray& bytes)
{
    for (const char c : bytes) {
        // Detached, a typed character is only shown; attached, the device
        // sends it and its echo setting says whether it shows.
        const bool show = device_ ? device_->TerminalKeyPressed(c) : true;
        if (show)
            screen_.TerminalInputChar(static_cast<unsigned char>(c));
    }
    ScheduleRefresh();
}

// ---------------------------------------------------------------- painting

void TnrTerminal::ScheduleRefresh()
{
    if (screen_.HasDamage() && !refreshTimer_.isActive())
        refreshTimer_.start();
}

void TnrTerminal::Refresh()
{
    refreshTimer_.stop();
    if (updateCount_ > 0)
        return;
    const TnrTerminalScreen::Damage damage = screen_.TakeDamage();
    {
        QPainter painter(&image_);
        painter.setFont(font());
        if (damage.full) {
            for (int row = 0; row < static_cast<int>(Rows()); ++row)
                for (int column = 0; column < static_cast<int>(Columns()); ++column)
                    PaintCell(painter, column, row);
        } else {
            for (const int index : damage.cells)
                PaintCell(painter, index % static_cast<int>(Columns()), index / static_cast<int>(Columns()));
        }
    }
    const int oldColumn = firstColumn_;
    const int oldLine = firstLine_;
    KeepCaretInView();
    if (damage.full || oldColumn != firstColumn_ || oldLine != firstLine_) {
        update();
    } else {
        const QPoint origin(kMargin - firstColumn_ * cell_.width(), kMargin - firstLine_ * cell_.height());
        for (const int index : damage.cells) {
            const int column = index % static_cast<int>(Columns());
            const int row = index / static_cast<int>(Columns());
            update(QRect(origin + QPoint(column * cell_.width(), row * cell_.height()), cell_));
        }
    }
    if (damage.caretMoved || damage.caretShapeChanged || CaretRect() != caretRect_) {
        update(caretRect_);
        caretRect_ = CaretRect();
        update(caretRect_);
    }
    if (damage.caretMoved)
        emit CaretMove();
}

void TnrTerminal::PaintCell(QPainter& painter, int column, int row)
{
    const TnrCell& cell = screen_.Cell(column, row);
    const QRect rect(column * cell_.width(), row * cell_.height(), cell_.width(), cell_.height());
    QColor fg = fontColor_;
    QColor bg = color_;
    if (cell.Attr.FgColor != cell.Attr.BgColor && cell.Attr.FgColor != kDefaultColor) {
        fg = FromRgb(cell.Attr.FgColor);
        bg = cell.Attr.BgColor == kDefaultColor ? color_ : FromRgb(cell.Attr.BgColor);
    }
    if (cell.Attr.Blink != 0 && blinkPhase_)
        fg = bg;
    painter.fillRect(rect, bg);
    ++paintedCells_;
    char16_t c = cell.Char;
    if (c <= u' ')
        return;
    // A lone half of a surrogate pair (a truncated code point) shows as the
    // replacement character.
    if (c >= 0xD800 && c <= 0xDFFF)
        c = 0xFFFD;
    painter.setPen(fg);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, QString(QChar(c)));
}

void TnrTerminal::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), color_);
    const QPoint origin(kMargin - firstColumn_ * cell_.width(), kMargin - firstLine_ * cell_.height());
    painter.setClipRect(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin));
    painter.drawImage(origin, image_);
    if (screen_.CaretVisible() && hasFocus())
        painter.fillRect(CaretRect(), fontColor_);
}

QRect TnrTerminal::CaretRect() const
{
    const QPoint cell(kMargin + (screen_.CaretX() - firstColumn_) * cell_.width(),
                      kMargin + (screen_.CaretY() - firstLine_) * cell_.height());
    switch (caretView_) {
    case cvVert:
        return QRect(cell, QSize(2, cell_.height()));
    case cvHoriz:
        return QRect(cell + QPoint(0, cell_.height() - 2), QSize(cell_.width(), 2));
    case cvSquare:
        break;
    }
    return QRect(cell, cell_);
}

void TnrTerminal::KeepCaretInView()
{
    const int columns = std::max(VisibleColumns(), 1);
    const int lines = std::max(VisibleLines(), 1);
    const int x = screen_.CaretX();
    const int y = screen_.CaretY();
    if (x < firstColumn_)
        firstColumn_ = x;
    if (y < firstLine_)
        firstLine_ = y;
    if (x >= firstColumn_ + columns)
        firstColumn_ = x - columns + 1;
    if (y >= firstLine_ + lines)
        firstLine_ = y - lines + 1;
}

int TnrTerminal::VisibleColumns() const { return std::max(0, (width() - 2 * kMargin) / cell_.width()); }
int TnrTerminal::VisibleLines() const { return std::max(0, (height() - 2 * kMargin) / cell_.height()); }

void TnrTerminal::UpdateCellSize()
{
    const QFontMetrics metrics(font());
    cell_ = QSize(std::max({metrics.horizontalAdvance(QLatin1Char('W')), metrics.horizontalAdvance(QLatin1Char('m')), 1}),
                  std::max(metrics.height(), 1));
}

void TnrTerminal::ResizeImage()
{
    image_ = QImage(static_cast<int>(Columns()) * cell_.width(), static_cast<int>(Rows()) * cell_.height(),
                    QImage::Format_RGB32);
    image_.fill(color_);
}

void TnrTerminal::BlinkTick()
{
    if (!screen_.AnyBlinking()) {
        blinkTimer_.stop();
        blinkPhase_ = false;
        return;
    }
    blinkPhase_ = !blinkPhase_;
    QPainter painter(&image_);
    painter.setFont(font());
    for (int row = 0; row < static_cast<int>(Rows()); ++row)
        for (int column = 0; column < static_cast<int>(Columns()); ++column)
            if (screen_.Cell(column, row).Attr.Blink != 0)
                PaintCell(painter, column, row);
    update();
}

// ---------------------------------------------------------------- events

void TnrTerminal::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        UpdateCellSize();
        ApplyDefaultColors();
        ResizeImage();
        RepaintScreen();
    }
    QWidget::changeEvent(event);
}

void TnrTerminal::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (autoSize_)
        resizeTimer_.start();
    KeepCaretInView();
}

void TnrTerminal::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update(CaretRect());
}

void TnrTerminal::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update(CaretRect());
}

void TnrTerminal::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint() - QPoint(kMargin, kMargin);
    const int column = at.x() / cell_.width() + firstColumn_ + 1;
    const int row = at.y() / cell_.height() + firstLine_ + 1;
    if (mouseMode_ == tmMoveCursor) {
        SendEscString("\033[" + QByteArray::number(row) + ';' + QByteArray::number(column) + 'H');
    } else if (mouseMode_ == tmmAuto && screen_.AnyMouseMode()) {
        // X10 mouse report: button, column and row each offset by 32.
        const int button = event->button() == Qt::RightButton ? 2 : event->button() == Qt::MiddleButton ? 1 : 0;
        QByteArray report("\033[M");
        report.append(static_cast<char>(32 + button));
        report.append(static_cast<char>(std::min(32 + column, 255)));
        report.append(static_cast<char>(std::min(32 + row, 255)));
        SendEscString(report);
    }
    QWidget::mousePressEvent(event);
}

void TnrTerminal::mouseDoubleClickEvent(QMouseEvent* event)
{
    QWidget::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void TnrTerminal::keyPressEvent(QKeyEvent* event)
{
    const bool app = screen_.CursorKeysApplication();
    const char* sequence = nullptr;
    switch (event->key()) {
    case Qt::Key_Up:
        sequence = app ? "\033OA" : "\033[A";
        break;
    case Qt::Key_Down:
        sequence = app ? "\033OB" : "\033[B";
        break;
    case Qt::Key_Left:
        sequence = app ? "\033OD" : "\033[D";
        break;
    case Qt::Key_Right:
        sequence = app ? "\033OC" : "\033[C";
        break;
    case Qt::Key_Home:
        sequence = "\033[H";
        break;
    case Qt::Key_End:
        sequence = "\033[F";
        break;
    case Qt::Key_PageDown:
        sequence = "\033[6~";
        break;
    case Qt::Key_PageUp:
        sequence = "\033[5~";
        break;
    case Qt::Key_Insert:
        sequence = "\033[2~";
        break;
    case Qt::Key_Delete:
        sequence = "\033[3~";
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        static const char* const kEnter[] = {"\r", "\n", "\r\n", "\n\r"};
        sequence = kEnter[enterKey_];
        break;
    }
    case Qt::Key_Tab:
        sequence = "\t";
        break;
    case Qt::Key_Escape:
        if ((options_ & toEscToDbl) != 0)
            sequence = "\033\033";
        break;
    default:
        if ((options_ & toFKeyToEsc) != 0 && event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F10) {
            static const char* const kFunction[] = {"\0331", "\0332", "\0333", "\0334", "\0335",
                                                    "\0336", "\0337", "\0338", "\0339", "\0330"};
            sequence = kFunction[event->key() - Qt::Key_F1];
        }
        break;
    }
    if (sequence != nullptr) {
        SendEscString(QByteArray(sequence));
        event->accept();
        return;
    }
    if (OnStrFromTerminal && event->key() > 0 && event->key() < 0x100) {
        bool handled = false;
        OnStrFromTerminal(this, QByteArray(1, static_cast<char>(event->key())), handled);
        if (handled) {
            event->accept();
            return;
        }
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    SendTyped(screen_.Utf8 ? text.toUtf8() : text.toLatin1());
    event->accept();
}
