#include "dialogs/FrameRateSizeDialog.h"

#include "dialogs/UserDialogs.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <iterator>
#include <limits>

FrameRateSizeDialog::FrameRateSizeDialog(ProjectSettings& settings, UserDialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent), settings_(settings), dialogs_(dialogs) {
    setWindowTitle(tr("Vistrom (FPS,Size等の設定)"));
    buildControls();
    showSettings();
}

bool FrameRateSizeDialog::run(QWidget* parent, ProjectSettings& settings, UserDialogs& dialogs) {
    FrameRateSizeDialog dialog(settings, dialogs, parent);
    return dialog.exec() == QDialog::Accepted;
}

void FrameRateSizeDialog::buildControls() {
    okButton_ = new QPushButton(tr("OK"));
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(tr("CANCEL"));
    fpsEdit_ = new QLineEdit;
    widthEdit_ = new QLineEdit;
    heightEdit_ = new QLineEdit;
    scaleImagesCheck_ = new QCheckBox(tr("画像の拡大縮小を行う"));
    noTrailingBlankCheck_ = new QCheckBox(tr("最後に空白コマ挿入しない"));
    trimAviSizeCheck_ = new QCheckBox(tr("AVIサイズを削る"));
    applyOrientationCheck_ = new QCheckBox(tr("画像の向きを自動補正する"));
    depthRadios_[0] = new QRadioButton(tr("8 bpp (256色)"));
    depthRadios_[1] = new QRadioButton(tr("16 bpp (3万色)"));
    depthRadios_[2] = new QRadioButton(tr("24 bpp (1700万色)"));
    vgaButton_ = new QPushButton(tr("VGA"));
    qvgaButton_ = new QPushButton(tr("QVGA"));
    svgaButton_ = new QPushButton(tr("SVGA"));
    okButton_->setObjectName(QStringLiteral("okButton"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    fpsEdit_->setObjectName(QStringLiteral("fpsEdit"));
    widthEdit_->setObjectName(QStringLiteral("widthEdit"));
    heightEdit_->setObjectName(QStringLiteral("heightEdit"));

    depthGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i)
        depthGroup_->addButton(depthRadios_[i], i);
    // The edits take any text; only OK interprets it. About six digits wide.
    const int editWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12;
    for (QLineEdit* edit : {fpsEdit_, widthEdit_, heightEdit_})
        edit->setFixedWidth(editWidth);
    layOutControls();

    // The layouts reparent the controls, so the tab order is set explicitly.
    QWidget* order[] = {okButton_,
                        cancelButton_,
                        fpsEdit_,
                        widthEdit_,
                        heightEdit_,
                        scaleImagesCheck_,
                        noTrailingBlankCheck_,
                        trimAviSizeCheck_,
                        applyOrientationCheck_,
                        depthRadios_[0],
                        depthRadios_[1],
                        depthRadios_[2],
                        vgaButton_,
                        qvgaButton_,
                        svgaButton_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(okButton_, &QPushButton::clicked, this, &FrameRateSizeDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &FrameRateSizeDialog::reject);
    connect(vgaButton_, &QPushButton::clicked, this, &FrameRateSizeDialog::applyVgaPreset);
    connect(qvgaButton_, &QPushButton::clicked, this, &FrameRateSizeDialog::applyQvgaPreset);
    connect(svgaButton_, &QPushButton::clicked, this, &FrameRateSizeDialog::applySvgaPreset);
}

// The groups stack on the left, OK and CANCEL stand at the top right.
void FrameRateSizeDialog::layOutControls() {
    auto* speedBox = new QGroupBox(tr("再生速度"));
    auto* speedLayout = new QHBoxLayout(speedBox);
    speedLayout->addWidget(fpsEdit_);
    speedLayout->addWidget(new QLabel(tr("FRAMEs per sec")));
    speedLayout->addStretch();

    // Image size: two edits, the scaling option and the presets.
    auto* sizeBox = new QGroupBox(tr("画像サイズ"));
    auto* sizeLayout = new QGridLayout(sizeBox);
    sizeLayout->addWidget(new QLabel(tr("横 :")), 0, 0);
    sizeLayout->addWidget(widthEdit_, 0, 1);
    sizeLayout->addWidget(new QLabel(tr("pixels")), 0, 2);
    sizeLayout->addWidget(new QLabel(tr("縦 :")), 1, 0);
    sizeLayout->addWidget(heightEdit_, 1, 1);
    sizeLayout->addWidget(new QLabel(tr("pixels")), 1, 2);
    sizeLayout->addWidget(scaleImagesCheck_, 2, 0, 1, 4);
    auto* presetLayout = new QHBoxLayout;
    for (QPushButton* preset : {vgaButton_, qvgaButton_, svgaButton_})
        presetLayout->addWidget(preset);
    presetLayout->addStretch();
    sizeLayout->addLayout(presetLayout, 3, 0, 1, 4);
    sizeLayout->setColumnStretch(3, 1);

    auto* optionsBox = new QGroupBox(tr("AVI作成オプション"));
    auto* optionsLayout = new QVBoxLayout(optionsBox);
    optionsLayout->addWidget(noTrailingBlankCheck_);
    optionsLayout->addWidget(trimAviSizeCheck_);
    optionsLayout->addWidget(applyOrientationCheck_);

    auto* depthBox = new QGroupBox(tr("画像解像度"));
    auto* depthLayout = new QVBoxLayout(depthBox);
    for (QRadioButton* radio : depthRadios_)
        depthLayout->addWidget(radio);

    auto* groups = new QVBoxLayout;
    for (QGroupBox* box : {speedBox, sizeBox, optionsBox, depthBox})
        groups->addWidget(box);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();
    auto* top = new QHBoxLayout(this);
    top->addLayout(groups);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

void FrameRateSizeDialog::showSettings() {
    fpsEdit_->setText(QString::number(settings_.fps));
    widthEdit_->setText(QString::number(settings_.width));
    heightEdit_->setText(QString::number(settings_.height));
    // A depth from a project file outside 0..2 checks no button; OK then keeps
    // that stored value unless the user picks one.
    const int depth = int(settings_.depth);
    if (depth >= 0 && depth < 3) {
        depthRadios_[depth]->setChecked(true);
    } else {
        depthGroup_->setExclusive(false);
        for (QRadioButton* radio : depthRadios_)
            radio->setChecked(false);
        depthGroup_->setExclusive(true);
    }
    noTrailingBlankCheck_->setChecked(settings_.noTrailingBlank);
    scaleImagesCheck_->setChecked(settings_.scaleImages);
    trimAviSizeCheck_->setChecked(settings_.trimAviSize);
    applyOrientationCheck_->setChecked(settings_.applyOrientation);
    // The frame rate is what is changed most: typing replaces it.
    fpsEdit_->selectAll();
    fpsEdit_->setFocus(Qt::OtherFocusReason);
}

std::optional<quint32> FrameRateSizeDialog::parseUnsignedText(const QString& text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : digits) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - u'0';
        else if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) // full-width digits
            digit = c.unicode() - 0xFF10;
        else
            return std::nullopt;
        value = value * 10 + quint64(digit);
        if (value > std::numeric_limits<quint32>::max())
            value = quint64(std::numeric_limits<quint32>::max()) + 1; // stays too big
    }
    if (value > std::numeric_limits<quint32>::max())
        return std::numeric_limits<quint32>::max();
    return quint32(value);
}

std::optional<quint32> FrameRateSizeDialog::readField(QLineEdit* edit, quint32 minimum,
                                                      quint32 maximum) {
    const std::optional<quint32> value = parseUnsignedText(edit->text());
    if (value && *value >= minimum && *value <= maximum)
        return value;
    dialogs_.showMessage(tr("%1 から %2 までの整数を入力してください。").arg(minimum).arg(maximum));
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    return std::nullopt;
}

void FrameRateSizeDialog::accept() {
    // Template order; the first refused field ends the exchange and nothing is
    // stored, so a refused OK followed by Cancel leaves the settings untouched.
    const std::optional<quint32> fps = readField(fpsEdit_, MinFps, MaxFps);
    if (!fps)
        return;
    const std::optional<quint32> width = readField(widthEdit_, MinSize, MaxSize);
    if (!width)
        return;
    const std::optional<quint32> height = readField(heightEdit_, MinSize, MaxSize);
    if (!height)
        return;

    settings_.fps = *fps;
    settings_.width = *width;
    settings_.height = *height;
    if (const int depth = depthGroup_->checkedId(); depth >= 0)
        settings_.depth = ColourDepth(depth);
    settings_.noTrailingBlank = noTrailingBlankCheck_->isChecked();
    settings_.scaleImages = scaleImagesCheck_->isChecked();
    settings_.trimAviSize = trimAviSizeCheck_->isChecked();
    settings_.applyOrientation = applyOrientationCheck_->isChecked();
    QDialog::accept();
}

void FrameRateSizeDialog::setSizeTexts(const char* width, const char* height) {
    widthEdit_->setText(QString::fromLatin1(width));
    heightEdit_->setText(QString::fromLatin1(height));
}

void FrameRateSizeDialog::applyVgaPreset() {
    setSizeTexts("640", "480");
}
void FrameRateSizeDialog::applyQvgaPreset() {
    setSizeTexts("320", "240");
}
void FrameRateSizeDialog::applySvgaPreset() {
    setSizeTexts("800", "600");
}
