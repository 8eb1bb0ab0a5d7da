#pragma once

// The value prompt: one whole number from 0 to 1000 (dialog template 101,
// caption "Vistrom 値の設定").

#include <QDialog>

#include <optional>

class CValueInputDialog : public QDialog {
    Q_OBJECT

public:
    explicit CValueInputDialog(QWidget* parent = nullptr);

    quint32 value = 1;
    QString prompt;

    // Runs the dialog modally with prompt and first value; the number on OK.
    static std::optional<quint32> Ask(QWidget* parent, const QString& prompt, quint32 initial);
};
