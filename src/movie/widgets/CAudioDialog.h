#pragma once

// The audio track dialog (template 104).

#include "settings/ProjectSettings.h"

#include <QDialog>

class UserDialogs;

class CAudioDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAudioDialog(QWidget* parent = nullptr);

    // Runs the dialog on settings; true on OK. Browse asks for the file through
    // dialogs and stores the path and the check box state at once.
    static bool Run(QWidget* parent, ProjectSettings& settings, UserDialogs* dialogs);
};
