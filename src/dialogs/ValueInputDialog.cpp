#include "dialogs/ValueInputDialog.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {
constexpr int kPromptWidth = 340;
}

ValueInputDialog::ValueInputDialog(QWidget* parent)
    : QDialog(parent), promptEdit_(new QLineEdit(this)), valueEdit_(new QLineEdit(this)),
      okButton_(new QPushButton(tr("OK"), this)),
      cancelButton_(new QPushButton(tr("CANCEL"), this)) {
    setWindowTitle(tr("Vistrom 値の設定"));
    setObjectName(QStringLiteral("ValueInputDialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The prompt is shown, never edited and never focused.
    promptEdit_->setObjectName(QStringLiteral("prompt"));
    promptEdit_->setReadOnly(true);
    promptEdit_->setEnabled(false);
    promptEdit_->setFocusPolicy(Qt::NoFocus);
    promptEdit_->setMinimumWidth(kPromptWidth);

    valueEdit_->setObjectName(QStringLiteral("value"));
    okButton_->setObjectName(QStringLiteral("ok"));
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    cancelButton_->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(promptEdit_, 0, 0, 1, 3);
    layout->addWidget(valueEdit_, 1, 0);
    layout->addWidget(okButton_, 1, 1);
    layout->addWidget(cancelButton_, 1, 2);
    layout->setColumnStretch(0, 1);
    setTabOrder(valueEdit_, okButton_);
    setTabOrder(okButton_, cancelButton_);

    connect(okButton_, &QPushButton::clicked, this, &ValueInputDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &ValueInputDialog::reject);
}

std::optional<quint32> ValueInputDialog::parseValue(const QString& text, quint32 maximum,
                                                    QString* message) {
    const QString trimmed = text.trimmed();
    bool digitsOnly = !trimmed.isEmpty();
    for (QChar c : trimmed)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            digitsOnly = false;
    if (!digitsOnly) {
        if (message)
            *message = tr("符号なしの整数を入力してください (%1 から %2 まで)。")
                           .arg(MinValue)
                           .arg(maximum);
        return std::nullopt;
    }
    // Leading zeros do not count; a number too long to read is out of range
    // rather than wrapped around.
    bool readable = false;
    const qulonglong number = trimmed.toULongLong(&readable);
    if (!readable || number > maximum) { // MinValue is 0: no digit string lies below it
        if (message)
            *message = tr("%1 から %2 までの整数を入力してください。").arg(MinValue).arg(maximum);
        return std::nullopt;
    }
    return quint32(number);
}

void ValueInputDialog::loadFields() {
    valueEdit_->setText(QString::number(value));
    promptEdit_->setText(prompt);
    // Wide enough to show the whole prompt.
    promptEdit_->setMinimumWidth(
        qMax(kPromptWidth, promptEdit_->fontMetrics().horizontalAdvance(prompt) + 20));
    promptEdit_->setCursorPosition(0);
    valueEdit_->selectAll();
    valueEdit_->setFocus(Qt::OtherFocusReason);
}

int ValueInputDialog::exec() {
    loadFields();
    return QDialog::exec();
}

void ValueInputDialog::accept() {
    QString message;
    const std::optional<quint32> number = parseValue(valueEdit_->text(), maximum, &message);
    if (!number) {
        showRefusal(message);
        valueEdit_->setFocus(Qt::OtherFocusReason);
        valueEdit_->selectAll();
        return;
    }
    value = *number;
    prompt = promptEdit_->text();
    QDialog::accept();
}

void ValueInputDialog::showRefusal(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Vistrom"), message, QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("refusal"));
    box.exec();
}

std::optional<quint32> ValueInputDialog::ask(QWidget* parent, const QString& prompt,
                                             quint32 initial, quint32 maximum) {
    ValueInputDialog dialog(parent);
    dialog.prompt = prompt;
    dialog.value = initial;
    dialog.maximum = maximum;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.value;
}
