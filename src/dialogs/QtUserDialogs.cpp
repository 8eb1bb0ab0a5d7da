#include "dialogs/QtUserDialogs.h"

#include "dialogs/AudioDialog.h"
#include "dialogs/CompressionDialog.h"
#include "dialogs/FrameRateSizeDialog.h"
#include "dialogs/ValueInputDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

QWidget* QtUserDialogs::shownOwner() const {
    return owner_ && owner_->isVisible() ? owner_ : nullptr;
}

QString QtUserDialogs::lastFolder() const {
    return lastFolder_.isEmpty() ? QDir::homePath() : QFile::decodeName(lastFolder_);
}

void QtUserDialogs::showMessage(const QString& text, bool foreground) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vistrom"), text, QMessageBox::Ok,
                    shownOwner());
    if (foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.raise();
        box.activateWindow();
    }
    box.exec();
}

// QMessageBox makes No the escape button of a Yes/No box, so that Escape and
// the close box would answer No. A hidden Cancel button takes that part: the
// box still offers Yes and No, and dismissing it is told apart.
UserDialogs::Answer QtUserDialogs::askYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vistrom"), text,
                    QMessageBox::Yes | QMessageBox::No, shownOwner());
    box.setDefaultButton(QMessageBox::Yes);
    QPushButton* dismiss = box.addButton(QMessageBox::Cancel);
    dismiss->hide();
    box.setEscapeButton(dismiss);
    box.exec();
    if (box.clickedButton() == box.button(QMessageBox::Yes))
        return Answer::Yes;
    if (box.clickedButton() == box.button(QMessageBox::No))
        return Answer::No;
    return Answer::Dismissed;
}

void QtUserDialogs::showPlainMessage(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, nullptr);
    box.exec();
}

QStringList QtUserDialogs::nameFilters(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    static const QRegularExpression endsInPattern(QStringLiteral("\\([^()]*\\)\\s*$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (description.isEmpty())
            break;
        if (description.contains(endsInPattern) || pattern.isEmpty())
            out << description;
        else
            out << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return out;
}

void QtUserDialogs::matchEveryNameForStarDotStar(QFileDialog& dialog) {
    // "*.*" has always meant every file, but Qt's own dialog matches it only
    // against names with a dot. The filter keeps its text; the list it shows
    // uses "*" instead. (A native dialog does its own matching.)
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return;
    auto widen = [model] {
        QStringList patterns = model->nameFilters();
        if (!patterns.contains(QStringLiteral("*.*")))
            return;
        patterns.replace(patterns.indexOf(QStringLiteral("*.*")), QStringLiteral("*"));
        model->setNameFilters(patterns);
    };
    widen();
    // Queued: the dialog sets the chosen filter's patterns first.
    QObject::connect(&dialog, &QFileDialog::filterSelected, model, widen, Qt::QueuedConnection);
}

std::optional<QByteArray> QtUserDialogs::askFileName(const FileRequest& request) {
    QFileDialog dialog(owner_);
    if (!request.title.isEmpty())
        dialog.setWindowTitle(request.title);
    dialog.setDirectory(request.startFolder.isEmpty() ? lastFolder()
                                                      : QFile::decodeName(request.startFolder));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Open mode too: a name that does not exist is not refused.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(nameFilters(request.filter));
    matchEveryNameForStarDotStar(dialog);
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.initialName.isEmpty() && !request.initialName.contains(QLatin1Char('*')))
        dialog.selectFile(request.initialName);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (request.chosenFilter)
        *request.chosenFilter =
            std::max(0, int(dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
    if (!accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    lastFolder_ = QFile::encodeName(QFileInfo(chosen).absolutePath());
    return QFile::encodeName(chosen);
}

std::optional<quint32> QtUserDialogs::askValue(const QString& prompt, quint32 initial,
                                               quint32 maximum) {
    return ValueInputDialog::ask(owner_, prompt, initial, maximum);
}

bool QtUserDialogs::runFrameRateDialog(ProjectSettings& settings) {
    return FrameRateSizeDialog::run(owner_, settings, *this);
}

bool QtUserDialogs::runAudioDialog(ProjectSettings& settings, const QByteArray& startFolder) {
    return AudioDialog::run(owner_, settings, *this, startFolder);
}

std::optional<CompressionChoice> QtUserDialogs::askCompression(QSize frameSize,
                                                               MovieContainer container) {
    return CompressionDialog::ask(owner_, frameSize, container);
}
