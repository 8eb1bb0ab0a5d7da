#pragma once

// The frame rate, size, depth and options dialog (template 102).

#include "settings/ProjectSettings.h"

#include <QDialog>

class CFrameRateSizeDialog : public QDialog {
    Q_OBJECT

public:
    explicit CFrameRateSizeDialog(QWidget* parent = nullptr);

    // Runs the dialog on settings; true on OK, with the confirmed values stored.
    static bool Run(QWidget* parent, ProjectSettings& settings);
};
