#pragma once

// The audio track dialog (caption "Vistrom (Audioの設定)"): the on/off box
// and the path of the sound file, both in a ProjectSettings. The path field is read-only; only
// Browse fills it, and Browse stores the chosen path and the box's state into the settings at once,
// so they stay even when the dialog is then cancelled. OK stores both again.
// The path stays bytes; the field shows it decoded.

#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class UserDialogs;

class AudioDialog : public QDialog {
    Q_OBJECT

public:
    // settings and dialogs must outlive the dialog.
    AudioDialog(ProjectSettings& settings, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Runs the dialog on settings; true on OK. Browse asks for the file through
    // dialogs, starting in startFolder, and stores the path and the check box
    // state at once.
    static bool run(QWidget* parent, ProjectSettings& settings, UserDialogs& dialogs,
                    const QByteArray& startFolder = {});

    QByteArray startFolder; // where Browse's file dialog opens; empty: the folder last used

    // The controls in tab order; tests drive them.
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLineEdit* pathEdit() const { return pathEdit_; }
    QCheckBox* audioCheck() const { return audioCheck_; }
    QPushButton* browseButton() const { return browseButton_; }

public slots:
    void accept() override;
    void browseWav();

private:
    // Moves the box's state and the path into the settings.
    void storeSettings();

    ProjectSettings& settings_;
    UserDialogs& dialogs_;
    QByteArray path_; // the bytes behind the path field

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QCheckBox* audioCheck_ = nullptr;
    QPushButton* browseButton_ = nullptr;
};
