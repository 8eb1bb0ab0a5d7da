#include "movie/widgets/CompressionDialog.h"

CompressionDialog::CompressionDialog(QWidget* parent) : QDialog(parent) {}

std::optional<CompressionChoice> CompressionDialog::Ask(QWidget*) { return std::nullopt; }
