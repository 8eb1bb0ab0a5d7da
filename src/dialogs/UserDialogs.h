#pragma once

// The one seam through which the program asks its user anything: message
// boxes, file dialogs, the value prompt and the settings and compression
// dialogs. The window uses QtUserDialogs; tests answer through their own.

#include "movie/AviWriter.h"
#include "movie/Containers.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // A message box with an OK button, caption "Vistrom" (type 0).
    // foreground: bring the box to the front (MB_SETFOREGROUND).
    virtual void showMessage(const QString& text, bool foreground = false) = 0;
    // How a Yes/No question (type 4) was answered. Escape and the close box
    // dismiss it: a question that guards data then cancels the whole action.
    enum class Answer { Yes, No, Dismissed };
    virtual Answer askYesNo(const QString& text) = 0;
    // The movie writer's plain message box with its own caption and no owner.
    virtual void showPlainMessage(const QString& text, const QString& caption) = 0;

    struct FileRequest {
        bool save = false;
        QString title;            // what the file is for; empty: the toolkit's own title
        QByteArray startFolder;   // empty: the folder last used, at first the home folder
        QString initialName;      // e.g. "*.fsq"
        QString filter;           // pairs "Description|pattern|...|", ended by one more "|"
        QString defaultExtension; // without the dot; empty for none
        bool overwritePrompt = false;
        // When set, receives the index of the filter chosen (0: the first,
        // which the dialog starts with).
        int* chosenFilter = nullptr;
    };
    // The full path chosen, as bytes; std::nullopt on Cancel.
    virtual std::optional<QByteArray> askFileName(const FileRequest& request) = 0;

    // The largest count the value prompt takes (blank rows to add, the drop interval).
    static constexpr quint32 MaxCount = 1000;
    // The value prompt: a whole number from 0 to maximum (MaxCount for a
    // count, the list's last row for a row number); std::nullopt on Cancel.
    virtual std::optional<quint32> askValue(const QString& prompt, quint32 initial,
                                            quint32 maximum) = 0;

    // The frame rate and size dialog on the project's settings; true on OK
    // (the settings then hold the confirmed values).
    virtual bool runFrameRateDialog(ProjectSettings& settings) = 0;
    // The audio dialog; true on OK. Browse stores into settings at once, so the
    // settings may change even when this answers false; its file dialog starts
    // in startFolder (empty: the folder last used).
    virtual bool runAudioDialog(ProjectSettings& settings, const QByteArray& startFolder) = 0;
    // The compression options dialog for frames of frameSize in the container:
    // its codecs (compressors that cannot write that size are shown
    // unavailable); std::nullopt on Cancel.
    virtual std::optional<CompressionChoice> askCompression(QSize frameSize,
                                                            MovieContainer container) = 0;
};

// A seam that shows nothing and answers every question as a user who cancels:
// dismissed, Cancel, nothing chosen. For running without a window (self-checks,
// benchmarks) and as the base of test doubles, which override what they script.
class CancellingDialogs : public UserDialogs {
public:
    void showMessage(const QString&, bool = false) override {}
    Answer askYesNo(const QString&) override { return Answer::Dismissed; }
    void showPlainMessage(const QString&, const QString&) override {}
    std::optional<QByteArray> askFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<quint32> askValue(const QString&, quint32, quint32) override {
        return std::nullopt;
    }
    bool runFrameRateDialog(ProjectSettings&) override { return false; }
    bool runAudioDialog(ProjectSettings&, const QByteArray&) override { return false; }
    std::optional<CompressionChoice> askCompression(QSize, MovieContainer) override {
        return std::nullopt;
    }
};
