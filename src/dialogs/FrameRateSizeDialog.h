#pragma once

// The frame rate, size, depth and options dialog (title "Vistrom (FPS,Size等の
// 設定)"). It works on a ProjectSettings: opening shows them (the frame rate's
// text selected, so that typing replaces it), OK reads the fields in tab order
// and stores the video settings only when every field passed its check;
// Cancel stores nothing. The audio fields of the settings are never touched
// here. A refused field is reported through the dialog seam.

#include "settings/ProjectSettings.h"

#include <QDialog>

#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class UserDialogs;

class FrameRateSizeDialog : public QDialog {
    Q_OBJECT

public:
    // settings and dialogs must outlive the dialog.
    FrameRateSizeDialog(ProjectSettings& settings, UserDialogs& dialogs, QWidget* parent = nullptr);

    // Runs the dialog modally on settings; true on OK, with the confirmed
    // values stored.
    static bool run(QWidget* parent, ProjectSettings& settings, UserDialogs& dialogs);

    // Ranges enforced on OK.
    static constexpr quint32 MinFps = 1, MaxFps = 40;
    static constexpr quint32 MinSize = 20, MaxSize = 1280;

    // Unsigned decimal text as the edits take it: blanks and tabs around the
    // digits are allowed, a sign or any other character is not. A number too
    // big for 32 bits answers the largest value, so the range check refuses it.
    static std::optional<quint32> parseUnsignedText(const QString& text);

    // The controls, in template (tab) order; tests drive them.
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QLineEdit* fpsEdit() const { return fpsEdit_; }
    QLineEdit* widthEdit() const { return widthEdit_; }
    QLineEdit* heightEdit() const { return heightEdit_; }
    QCheckBox* scaleImagesCheck() const { return scaleImagesCheck_; }
    QCheckBox* noTrailingBlankCheck() const { return noTrailingBlankCheck_; }
    QCheckBox* trimAviSizeCheck() const { return trimAviSizeCheck_; }
    QCheckBox* applyOrientationCheck() const { return applyOrientationCheck_; }
    QRadioButton* depthRadio(int index) const { return depthRadios_[index]; }
    QPushButton* vgaButton() const { return vgaButton_; }
    QPushButton* qvgaButton() const { return qvgaButton_; }
    QPushButton* svgaButton() const { return svgaButton_; }

public slots:
    // OK: exchange and checks; closes only when every check passed.
    void accept() override;

    // Preset buttons: they set only the two size edits' texts.
    void applyVgaPreset();
    void applyQvgaPreset();
    void applySvgaPreset();

private:
    void buildControls();
    void layOutControls();
    void showSettings();
    // Reads one edit; on a refused value shows the message, focuses and
    // selects the edit, and answers std::nullopt.
    std::optional<quint32> readField(QLineEdit* edit, quint32 minimum, quint32 maximum);
    void setSizeTexts(const char* width, const char* height);

    ProjectSettings& settings_;
    UserDialogs& dialogs_;

    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLineEdit* fpsEdit_ = nullptr;
    QLineEdit* widthEdit_ = nullptr;
    QLineEdit* heightEdit_ = nullptr;
    QCheckBox* scaleImagesCheck_ = nullptr;
    QCheckBox* noTrailingBlankCheck_ = nullptr;
    QCheckBox* trimAviSizeCheck_ = nullptr;
    QCheckBox* applyOrientationCheck_ = nullptr;
    QRadioButton* depthRadios_[3] = {};
    QButtonGroup* depthGroup_ = nullptr;
    QPushButton* vgaButton_ = nullptr;
    QPushButton* qvgaButton_ = nullptr;
    QPushButton* svgaButton_ = nullptr;
};
