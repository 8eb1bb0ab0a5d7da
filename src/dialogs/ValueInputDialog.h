#pragma once

// The value prompt: one whole number from 0 to a maximum (caption "Vistrom 値の
// 設定"): 1000 for a count, the list's last row for a row number. The list
// editing commands and the file drop ask through UserDialogs::askValue, which
// runs ask().
//
// The number field must read as an unsigned decimal number within the bounds;
// anything else is refused with a message naming the bounds, the focus goes
// back to the number and the dialog stays open.

#include <QDialog>

#include <optional>

class QLineEdit;
class QPushButton;

class ValueInputDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr quint32 MinValue = 0;
    static constexpr quint32 MaxValue = 1000; // the default maximum

    explicit ValueInputDialog(QWidget* parent = nullptr);

    quint32 value = 1;
    quint32 maximum = MaxValue;
    QString prompt;

    // Runs the dialog modally with prompt, first value and maximum; the number on OK.
    static std::optional<quint32> ask(QWidget* parent, const QString& prompt, quint32 initial,
                                      quint32 maximum = MaxValue);

    // Reads text as the number field does: an unsigned decimal integer within
    // 0 to maximum (blanks around it allowed). On refusal, message holds why,
    // naming the bounds.
    static std::optional<quint32> parseValue(const QString& text, quint32 maximum = MaxValue,
                                             QString* message = nullptr);

    // Shows prompt and value in the fields (what opening the dialog does).
    void loadFields();

    QLineEdit* valueEdit() const { return valueEdit_; }   // edit 1000
    QLineEdit* promptEdit() const { return promptEdit_; } // edit 1001
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

    int exec() override;

    // OK: stores the number and closes only when the field holds a valid one.
    void accept() override;

protected:
    // Tells the user why the number was refused; a modal message box by
    // default. Tests override it to answer without a person.
    virtual void showRefusal(const QString& message);

private:
    QLineEdit* promptEdit_;
    QLineEdit* valueEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};
