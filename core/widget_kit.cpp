#include "core/widget_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace WidgetKit {
namespace {

template <typename Control>
Control* Named(Control* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

}  // namespace

QLabel* NewLabel(const char* name, const QString& caption, QWidget* parent)
{
    return Named(new QLabel(caption, parent), name);
}

QLabel* NewBuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent)
{
    return Named(new QLineEdit(text, parent), name);
}

QLineEdit* NewPortEdit(const char* name, const QString& text, QWidget* parent)
{
    QLineEdit* edit = NewEdit(name, text, parent);
    edit->setMaxLength(5);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), edit));
    return edit;
}

QCheckBox* NewCheckBox(const char* name, const QString& caption, QWidget* parent, bool checked)
{
    QCheckBox* box = Named(new QCheckBox(caption, parent), name);
    box->setChecked(checked);
    return box;
}

QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent)
{
    return Named(new QPushButton(caption, parent), name);
}

QComboBox* NewCombo(const char* name, const QStringList& items, int index, QWidget* parent)
{
    QComboBox* combo = NewPickList(name, items, index, parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCurrentIndex(index);
    return combo;
}

QComboBox* NewPickList(const char* name, const QStringList& items, int index, QWidget* parent)
{
    QComboBox* combo = Named(new QComboBox(parent), name);
    combo->addItems(items);
    combo->setCurrentIndex(index);
    return combo;
}

}  // namespace WidgetKit
