#pragma once

// The About box: "Vistrom について" with the program's icon, the version line
// and an OK button.

#include <QDialog>

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
