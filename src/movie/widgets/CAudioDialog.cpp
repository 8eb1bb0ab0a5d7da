#include "movie/widgets/CAudioDialog.h"

CAudioDialog::CAudioDialog(QWidget* parent) : QDialog(parent) {}

bool CAudioDialog::Run(QWidget*, ProjectSettings&, UserDialogs*) { return false; }
