#include "dialogs/AudioDialog.h"

#include "dialogs/UserDialogs.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AudioDialog::AudioDialog(ProjectSettings& settings, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(dialogs), path_(settings.audioPath) {
    setWindowTitle(tr("Vistrom (Audioの設定)"));

    // Tab order.
    okButton_ = new QPushButton(tr("OK"));
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(tr("CANCEL"));
    pathEdit_ = new QLineEdit;
    audioCheck_ = new QCheckBox(tr("Audio のトラックを挿入する"));
    auto* explanation =
        new QLabel(tr("チェックを入れると，作成したAVI "
                      "ファイルにAudioトラックとして下記のwavファイルを追加します．"));
    browseButton_ = new QPushButton(tr("Browse"));

    okButton_->setObjectName(QStringLiteral("okButton"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    pathEdit_->setObjectName(QStringLiteral("pathEdit"));
    audioCheck_->setObjectName(QStringLiteral("audioCheck"));
    browseButton_->setObjectName(QStringLiteral("browseButton"));

    // Read-only and out of the tab order, but a click still lets the user
    // select and copy the path.
    pathEdit_->setReadOnly(true);
    pathEdit_->setFocusPolicy(Qt::ClickFocus);
    pathEdit_->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(fontMetrics().averageCharWidth() * 30);

    auto* grid = new QGridLayout(this);
    grid->addWidget(audioCheck_, 0, 0, 1, 2);
    grid->addWidget(explanation, 1, 0, 1, 2);
    grid->addWidget(pathEdit_, 2, 0);
    grid->addWidget(browseButton_, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, 2, 1);
    grid->setRowStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, audioCheck_);
    setTabOrder(audioCheck_, browseButton_);

    connect(okButton_, &QPushButton::clicked, this, &AudioDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &AudioDialog::reject);
    connect(browseButton_, &QPushButton::clicked, this, &AudioDialog::browseWav);

    audioCheck_->setChecked(settings_.audioEnabled);
    pathEdit_->setText(QFile::decodeName(path_));
}

bool AudioDialog::run(QWidget* parent, ProjectSettings& settings, UserDialogs& dialogs,
                      const QByteArray& startFolder) {
    AudioDialog dialog(settings, dialogs, parent);
    dialog.startFolder = startFolder;
    return dialog.exec() == QDialog::Accepted;
}

void AudioDialog::storeSettings() {
    settings_.audioEnabled = audioCheck_->isChecked();
    settings_.audioPath = path_;
}

void AudioDialog::accept() {
    storeSettings();
    QDialog::accept();
}

void AudioDialog::browseWav() {
    UserDialogs::FileRequest request;
    request.save = false;
    request.title = tr("サウンドファイルの選択");
    request.startFolder = startFolder;
    request.initialName = QStringLiteral("*.wav");
    request.filter = tr("WAV-type file (*.wav)| *.wav ||");
    request.defaultExtension.clear();
    request.overwritePrompt = false;
    const std::optional<QByteArray> chosen = dialogs_.askFileName(request);
    if (!chosen)
        return;
    path_ = *chosen;
    pathEdit_->setText(QFile::decodeName(path_));
    // Stored at once: the path and the box as it is now survive a Cancel.
    storeSettings();
}
