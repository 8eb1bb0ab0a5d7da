#pragma once

// The About box: "Vistrom について" with the program's icon, the version line
// and an OK button.

#include <QDialog>

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
