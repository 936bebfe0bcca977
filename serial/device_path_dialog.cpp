#include "serial/device_path_dialog.h"

#include "core/widget_kit.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace WidgetKit;

namespace {

// The links under the by-id folder, by name; their targets may be missing
// (a device unplugged a moment ago), the link is offered all the same.
QStringList ByIdPorts(const QString& root)
{
    QStringList paths;
    const QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

}  // namespace

DevicePathDialog::DevicePathDialog(const QString& byIdRoot, const QStringList& typedPaths, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DevicePathDialog"));
    setWindowTitle(QStringLiteral("串口A"));

    QStringList offered = ByIdPorts(byIdRoot);
    for (auto typed = typedPaths.crbegin(); typed != typedPaths.crend(); ++typed)
        if (!offered.contains(*typed))
            offered << *typed;

    lblPath = NewLabel("lblPath", QStringLiteral("设备路径 (例如 /dev/ttyUSB0):"), this);
    const int latest = typedPaths.isEmpty() ? 0 : static_cast<int>(offered.indexOf(typedPaths.last()));
    cbbPath = NewCombo("cbbPath", offered, offered.isEmpty() ? -1 : latest, this);
    cbbPath->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    lblPath->setBuddy(cbbPath);
    btnOK = NewButton("btnOK", QStringLiteral("确定"), this);
    btnOK->setDefault(true);
    btnCancel = NewButton("btnCancel", QStringLiteral("取消"), this);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPath);
    layout->addWidget(cbbPath);
    layout->addLayout(buttons);
    setMinimumWidth(kWidth);
    resize(kWidth, sizeHint().height());
}

QString DevicePathDialog::Path() const
{
    return cbbPath->currentText().trimmed();
}
