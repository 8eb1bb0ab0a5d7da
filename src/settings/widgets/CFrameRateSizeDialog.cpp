#include "settings/widgets/CFrameRateSizeDialog.h"

CFrameRateSizeDialog::CFrameRateSizeDialog(QWidget* parent) : QDialog(parent) {}

bool CFrameRateSizeDialog::Run(QWidget*, ProjectSettings&) { return false; }
