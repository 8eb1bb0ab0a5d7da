#include "framelist/widgets/CValueInputDialog.h"

CValueInputDialog::CValueInputDialog(QWidget* parent) : QDialog(parent) {}

std::optional<quint32> CValueInputDialog::Ask(QWidget*, const QString&, quint32) {
    return std::nullopt;
}
