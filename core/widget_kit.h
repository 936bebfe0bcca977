#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Builders for the controls of the pages and windows; each control carries
// its object name, so tests and the settings file find it by that name.
namespace WidgetKit {

QLabel* NewLabel(const char* name, const QString& caption, QWidget* parent);
// A caption whose mnemonic ("&B") moves the focus to `buddy`.
QLabel* NewBuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent);
QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent);
// A port field: digits only, at most five of them.
QLineEdit* NewPortEdit(const char* name, const QString& text, QWidget* parent);
QCheckBox* NewCheckBox(const char* name, const QString& caption, QWidget* parent, bool checked = false);
QPushButton* NewButton(const char* name, const QString& caption, QWidget* parent);
// An editable combo: typing a text that matches no item leaves no item
// selected (see SelectedIndex).
QComboBox* NewCombo(const char* name, const QStringList& items, int index, QWidget* parent);
// A combo that only offers its items.
QComboBox* NewPickList(const char* name, const QStringList& items, int index, QWidget* parent);

}  // namespace WidgetKit
