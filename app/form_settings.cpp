#include "app/form_settings.h"

#include "app/form_keys.h"
#include "app/main_window.h"
#include "app/memo_text.h"
#include "app/snippet_text.h"
#include "core/combo_index.h"
#include "core/ini_file.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

namespace {

using FormKeys::Key;
using FormKeys::Kind;
using FormKeys::kKeys;

int ReadInt(const IniFile& ini, const Key& key)
{
    bool ok = false;
    const int value = ini.ReadString(QString::fromLatin1(FormSettings::kSection), QString::fromLatin1(key.name),
                                     QString())
                          .toInt(&ok);
    return ok ? value : QString::fromLatin1(key.defaultValue).toInt();
}

QList<QPair<QString, QString>> TableRows(const QTableWidget* table)
{
    QList<QPair<QString, QString>> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* key = table->item(row, 0);
        const QTableWidgetItem* value = table->item(row, 1);
        rows.append({key ? key->text() : QString(), value ? value->text() : QString()});
    }
    return rows;
}

void SetTableRows(QTableWidget* table, const QList<QPair<QString, QString>>& rows)
{
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        table->setItem(row, 0, new QTableWidgetItem(rows[row].first));
        table->setItem(row, 1, new QTableWidgetItem(rows[row].second));
    }
}

// The entry of a serial port list that names the port `path` ("/dev/ttyS0()"), or -1.
int EntryOfPort(const QComboBox* list, const QString& path)
{
    for (int i = 0; i < list->count(); ++i) {
        const QString text = list->itemText(i);
        const qsizetype paren = text.indexOf(QLatin1Char('('));
        if (paren >= 0 && text.left(paren).trimmed() == path)
            return i;
    }
    return -1;
}

// Writes a key of our own section, or removes it when it holds the default.
void WriteOwnKey(IniFile& ini, const char* key, const QString& value)
{
    const QString section = QString::fromLatin1(FormSettings::kOwnSection);
    if (value.isEmpty())
        ini.RemoveKey(section, QString::fromLatin1(key));
    else
        ini.WriteString(section, QString::fromLatin1(key), value);
}

QString ReadOwnKey(const IniFile& ini, const char* key)
{
    return ini.ReadString(QString::fromLatin1(FormSettings::kOwnSection), QString::fromLatin1(key), QString());
}

}  // namespace

FormSettings::FormSettings(TForm1& form, QString path) : form_(form), path_(std::move(path))
{
}

void FormSettings::Load()
{
    const IniFile ini(path_);
    const QString section = QString::fromLatin1(kSection);
    for (const Key& key : kKeys) {
        const QString control = QString::fromLatin1(key.control);
        const QString text = ini.ReadString(section, QString::fromLatin1(key.name), QString::fromUtf8(key.defaultValue));
        switch (key.kind) {
        case Kind::Memo:
            if (auto* memo = form_.findChild<QPlainTextEdit*>(control))
                memo->setPlainText(MemoText::Restore(text, ReadOwnKey(ini, key.name)));
            break;
        case Kind::Snippets:
            if (!text.isEmpty())
                SetTableRows(form_.ValueListEditor1, SnippetText::RowsFromStored(text));
            break;
        case Kind::ComboIndex:
            // Only selects the entry: no change handler runs, no port changes.
            if (auto* combo = form_.findChild<QComboBox*>(control)) {
                const QSignalBlocker quiet(combo);
                combo->setCurrentIndex(ReadInt(ini, key));
            }
            break;
        case Kind::Edit:
            if (auto* edit = form_.findChild<QLineEdit*>(control))
                edit->setText(text);
            break;
        case Kind::Flag:
            form_.chkHexShow->setChecked(ReadInt(ini, key) != 0);
            break;
        }
    }
    LoadOwnKeys(ini);
}

void FormSettings::LoadOwnKeys(const IniFile& ini)
{
    // A typed path is in no list: it is listed again and picked.
    if (const QString path = ReadOwnKey(ini, kPortADeviceKey); !path.isEmpty())
        form_.ComA().PickPortPath(path);
    if (const QString path = ReadOwnKey(ini, kPortBDeviceKey); !path.isEmpty()) {
        QComboBox* list = form_.serialB->cbb2_COM;
        if (const int entry = EntryOfPort(list, path); entry >= 0) {
            const QSignalBlocker quiet(list);
            list->setCurrentIndex(entry);
        } else {
            list->setEditText(path);
        }
    }
    const int encoding = form_.cbbTextEncoding->findText(ReadOwnKey(ini, kTextEncodingKey), Qt::MatchFixedString);
    form_.cbbTextEncoding->setCurrentIndex(std::max(encoding, 0));
}

void FormSettings::Save()
{
    IniFile ini(path_);
    const QString section = QString::fromLatin1(kSection);
    for (const Key& key : kKeys) {
        const QString control = QString::fromLatin1(key.control);
        const QString name = QString::fromLatin1(key.name);
        switch (key.kind) {
        case Kind::Memo:
            if (auto* memo = form_.findChild<QPlainTextEdit*>(control)) {
                // The "FORM" key takes the first line, as it always has.
                ini.WriteString(section, name, memo->toPlainText());
                WriteOwnKey(ini, key.name, MemoText::WholeValue(memo->toPlainText()));
            }
            break;
        case Kind::Snippets:
            // With no rows at all the value already in the file stays.
            if (const QString text = SnippetText::RowsToText(TableRows(form_.ValueListEditor1)); !text.isEmpty())
                ini.WriteString(section, name, SnippetText::Encode(text));
            break;
        case Kind::ComboIndex:
            if (auto* combo = form_.findChild<QComboBox*>(control))
                ini.WriteString(section, name, QString::number(combo->currentIndex()));
            break;
        case Kind::Edit:
            if (auto* edit = form_.findChild<QLineEdit*>(control))
                ini.WriteString(section, name, edit->text());
            break;
        case Kind::Flag:
            ini.WriteString(section, name, form_.chkHexShow->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
            break;
        }
    }
    SaveOwnKeys(ini);
    ini.Save();
}

void FormSettings::SaveOwnKeys(IniFile& ini)
{
    // Only a path typed by the user: a listed port is what "COMA" and "COMB" keep.
    const TnrComm* comm = form_.ComA().nrComm1;
    const TnrDevice* picked = comm->GetDevice(comm->GetDeviceIndex());
    const bool typedA = picked != nullptr && EntryOfPort(form_.serialA->cbb_COM, picked->PortName) < 0;
    WriteOwnKey(ini, kPortADeviceKey, typedA ? picked->PortName : QString());

    const QComboBox* list = form_.serialB->cbb2_COM;
    const QString typedB = list->currentText().trimmed();
    const bool isTypedB = SelectedIndex(list) < 0 && EntryOfPort(list, typedB) < 0;
    WriteOwnKey(ini, kPortBDeviceKey, isTypedB ? typedB : QString());

    const bool gbk = form_.cbbTextEncoding->currentIndex() <= 0;
    WriteOwnKey(ini, kTextEncodingKey, gbk ? QString() : form_.cbbTextEncoding->currentText());
}
