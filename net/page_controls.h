#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

// Builders for the settings controls of the network pages; each control
// carries its object name.
namespace PageControls {

QLabel* NewLabel(const char* name, const QString& caption, QWidget* parent);
QLineEdit* NewEdit(const char* name, const QString& text, QWidget* parent);
// A port field: accepts only the digits 0 to 9.
QLineEdit* NewPortEdit(const char* name, const QString& text, QWidget* parent);
QCheckBox* NewCheckBox(const char* name, const QString& caption, QWidget* parent);

// "'%s' is not a valid integer value", the conversion error users see.
QString NotAnIntegerText(const QString& text);

}  // namespace PageControls
