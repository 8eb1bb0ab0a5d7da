#pragma once

// The dialog seam for tests: answers from queues, written before the command
// runs, and a log of everything asked or shown, in order. A question with no
// answer left is answered as a user who cancels and counted as unexpected.

#include "dialogs/UserDialogs.h"

#include <QtCore>

#include <functional>

class ScriptedDialogs : public UserDialogs {
public:
    QList<std::optional<quint32>> values;
    QList<Answer> yesNo;
    QList<std::optional<QByteArray>> files;
    int filter = 0; // the filter index every file dialog reports as chosen
    // "yes", "no" or "dismiss" as the answer of a Yes/No question.
    static Answer answer(const QString& word) {
        return word == "yes" ? Answer::Yes : word == "no" ? Answer::No : Answer::Dismissed;
    }
    // Answers in turn: those words, "file:<path>" or "file-" (Cancel) for a
    // file, a number or "-" (Cancel) for a value.
    void script(const QStringList& answers) {
        for (const QString& a : answers) {
            if (a == "yes" || a == "no" || a == "dismiss")
                yesNo << answer(a);
            else if (a.startsWith("file"))
                files << (a == "file-" ? std::nullopt : std::optional(QFile::encodeName(a.mid(5))));
            else
                values << (a == "-" ? std::nullopt : std::optional(a.toUInt()));
        }
    }
    std::optional<CompressionChoice> compression = CompressionChoice{};
    // The settings dialogs: change the settings as a user would, answer OK.
    std::function<bool(ProjectSettings&)> frameRateDialog, audioDialog;
    std::function<void()> duringCompression;
    QStringList log; // "message: ...", "question: ...", "value <first>/<max>: ...", "file"...
    QList<FileRequest> fileRequests;
    QList<QSize> compressionSizes; // the frame size each compression question was for
    QByteArrayList audioFolders;   // the start folder of each audio dialog
    QList<bool> foreground;        // per message
    int unexpected = 0;
    QList<MovieContainer> compressionContainers; // in order
    // The texts logged with a prefix, in order, without the prefix.
    QStringList logged(const QString& prefix) const {
        QStringList out;
        for (const QString& line : log)
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        return out;
    }
    void showMessage(const QString& text, bool front) override {
        log << "message: " + text;
        foreground << front;
    }
    Answer askYesNo(const QString& text) override {
        log << "question: " + text;
        return next(yesNo).value_or(Answer::Dismissed);
    }
    void showPlainMessage(const QString& text, const QString& caption) override {
        log << QStringLiteral("plain: %1 / %2").arg(text, caption);
    }
    std::optional<QByteArray> askFileName(const FileRequest& request) override {
        log << QStringLiteral("file");
        fileRequests << request;
        if (request.chosenFilter)
            *request.chosenFilter = filter;
        return next(files).value_or(std::nullopt);
    }
    std::optional<quint32> askValue(const QString& prompt, quint32 initial,
                                    quint32 maximum) override {
        log << QStringLiteral("value %1/%2: %3").arg(initial).arg(maximum).arg(prompt);
        return next(values).value_or(std::nullopt);
    }
    bool runFrameRateDialog(ProjectSettings& settings) override {
        log << QStringLiteral("frame rate dialog");
        return frameRateDialog && frameRateDialog(settings);
    }
    bool runAudioDialog(ProjectSettings& settings, const QByteArray& startFolder) override {
        log << QStringLiteral("audio dialog");
        audioFolders << startFolder;
        return audioDialog && audioDialog(settings);
    }
    std::optional<CompressionChoice> askCompression(QSize frameSize,
                                                    MovieContainer container) override {
        log << QStringLiteral("compression");
        compressionSizes << frameSize;
        compressionContainers << container;
        if (duringCompression)
            duringCompression();
        return compression;
    }

private:
    template <typename T> std::optional<T> next(QList<T>& queue) {
        if (queue.isEmpty()) {
            ++unexpected;
            return std::nullopt;
        }
        return queue.takeFirst();
    }
};
