#pragma once

// The dialog seam as the window shows it: QMessageBox with caption "Vistrom",
// QFileDialog, and the program's own dialogs. It remembers the folder of the
// last file chosen, where a file dialog without a folder of its own opens.

#include "dialogs/UserDialogs.h"

class QFileDialog;
class QWidget;

class QtUserDialogs : public UserDialogs {
public:
    explicit QtUserDialogs(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void showMessage(const QString& text, bool foreground = false) override;
    Answer askYesNo(const QString& text) override;
    void showPlainMessage(const QString& text, const QString& caption) override;
    std::optional<QByteArray> askFileName(const FileRequest& request) override;
    std::optional<quint32> askValue(const QString& prompt, quint32 initial,
                                    quint32 maximum) override;
    bool runFrameRateDialog(ProjectSettings& settings) override;
    bool runAudioDialog(ProjectSettings& settings, const QByteArray& startFolder) override;
    std::optional<CompressionChoice> askCompression(QSize frameSize,
                                                    MovieContainer container) override;

    // "Desc|pattern|Desc|pattern||" as Qt name filters ("Desc (pattern)").
    static QStringList nameFilters(const QString& filter);
    // Makes a "*.*" filter of Qt's own dialog list every file, with or
    // without a dot in its name, as "All Files" promises.
    static void matchEveryNameForStarDotStar(QFileDialog& dialog);

    // Where a file dialog opens when its request names no folder: the folder
    // of the file last chosen, else the home folder.
    QString lastFolder() const;

private:
    // The owner for a box: none while the owner is not shown yet (a message at
    // start-up), so that the box is centred on the screen, not on a window
    // that is not there.
    QWidget* shownOwner() const;

    QWidget* owner_;
    QByteArray lastFolder_;
};
