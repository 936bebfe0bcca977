#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QPushButton;

// Asks for the path of a device port A is to open. The editable list offers
// the serial ports under /dev/serial/by-id (names that stay the same from
// one plug-in to the next) and the paths typed before in this session, such
// as pseudo-terminals, which no scan finds.
class DevicePathDialog : public QDialog
{
    Q_OBJECT

public:
    static inline const char* const kByIdRoot = "/dev/serial/by-id";
    // Wide enough for a by-id name.
    static constexpr int kWidth = 420;

    // `typedPaths`: oldest first; the latest is shown in the edit field.
    DevicePathDialog(const QString& byIdRoot, const QStringList& typedPaths, QWidget* parent = nullptr);

    // The path in the edit field, without surrounding blanks.
    QString Path() const;

    QLabel* lblPath;
    QComboBox* cbbPath;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
