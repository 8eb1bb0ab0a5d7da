#include "dialogs/CompressionDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int kDefaultQuality = 75;
}

CompressionDialog::CompressionDialog(QWidget* parent, std::vector<CodecInfo> codecs,
                                     QSize frameSize, MovieContainer container)
    : QDialog(parent), codecs_(std::move(codecs)) {
    setWindowTitle(tr("ビデオの圧縮"));
    const bool avi = container == MovieContainer::Avi;
    // In AVI the uncompressed entry always heads the list, even if a caller
    // forgot it; no other container is offered uncompressed frames.
    if (avi && (codecs_.empty() || !codecs_.front().name.empty()))
        codecs_.insert(codecs_.begin(), CodecInfo{"", "Full Frames (Uncompressed)", false});
    if (!avi)
        std::erase_if(codecs_, [](const CodecInfo& codec) { return codec.name.empty(); });

    auto* layout = new QVBoxLayout(this);
    auto* listLabel = new QLabel(tr("圧縮プログラム(&C):"), this);
    layout->addWidget(listLabel);
    list_ = new QListWidget(this);
    listLabel->setBuddy(list_);
    for (const CodecInfo& codec : codecs_) {
        QString text = QString::fromStdString(codec.description);
        if (!codec.name.empty())
            text += QStringLiteral("  [%1]").arg(QString::fromStdString(codec.name));
        const bool fits =
            frameSize.isEmpty() ||
            CodecAcceptsSize(codec, unsigned(frameSize.width()), unsigned(frameSize.height()));
        if (!fits)
            text += tr(" ― %1x%2では使えません(幅と高さは%3の倍数)")
                        .arg(frameSize.width())
                        .arg(frameSize.height())
                        .arg(codec.sizeMultiple);
        auto* item = new QListWidgetItem(text, list_);
        if (!fits) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(text);
        }
    }
    list_->setCurrentRow(0);
    // Wide enough for every entry whole: no codec's name is cut short.
    list_->setMinimumWidth(list_->sizeHintForColumn(0) + 2 * list_->frameWidth() +
                           list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    layout->addWidget(list_);

    auto* qualityRow = new QHBoxLayout;
    qualityLabel_ = new QLabel(tr("圧縮の品質(&Q):"), this);
    qualitySlider_ = new QSlider(Qt::Horizontal, this);
    qualitySlider_->setRange(1, 100);
    qualitySlider_->setValue(kDefaultQuality);
    qualitySpin_ = new QSpinBox(this);
    qualitySpin_->setRange(1, 100);
    qualitySpin_->setValue(kDefaultQuality);
    qualityLabel_->setBuddy(qualitySlider_);
    qualityRow->addWidget(qualityLabel_);
    qualityRow->addWidget(qualitySlider_, 1);
    qualityRow->addWidget(qualitySpin_);
    layout->addLayout(qualityRow);
    if (!avi) {
        auto* note = new QLabel(tr("色数の設定はAVIの非圧縮フレームにだけ使われます"), this);
        note->setObjectName(QStringLiteral("depthNote"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    connect(qualitySlider_, &QSlider::valueChanged, qualitySpin_, &QSpinBox::setValue);
    connect(qualitySpin_, &QSpinBox::valueChanged, qualitySlider_, &QSlider::setValue);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(list_, &QListWidget::currentRowChanged, this, [this] { updateQuality(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    updateQuality();
    list_->setFocus();
}

void CompressionDialog::updateQuality() {
    const int row = list_->currentRow();
    const bool hasQuality =
        row >= 0 && size_t(row) < codecs_.size() && codecs_[size_t(row)].hasQuality;
    qualityLabel_->setEnabled(hasQuality);
    qualitySlider_->setEnabled(hasQuality);
    qualitySpin_->setEnabled(hasQuality);
}

CompressionChoice CompressionDialog::choice() const {
    CompressionChoice chosen;
    const int row = list_->currentRow();
    if (row < 0 || size_t(row) >= codecs_.size())
        return chosen;
    const CodecInfo& codec = codecs_[size_t(row)];
    chosen.encoder = codec.name;
    if (codec.hasQuality)
        chosen.quality = qualitySpin_->value();
    return chosen;
}

std::optional<CompressionChoice> CompressionDialog::ask(QWidget* parent, QSize frameSize,
                                                        MovieContainer container) {
    CompressionDialog dialog(parent, ContainerCodecs(container), frameSize, container);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
