#pragma once

// The compression options dialog for the movie's container. For AVI:
// "Full Frames (Uncompressed)" first and preselected, then the encoders this
// libavcodec offers that AVI can hold (OfferedCodecs); for another container
// its codecs, its default first (ContainerCodecs), and a note that the colour
// depth setting is AVI's alone. A quality setting where the encoder has one.
// It starts from the first entry at every conversion; nothing is remembered.

#include "movie/AviWriter.h"
#include "movie/Codecs.h"
#include "movie/Containers.h"

#include <QDialog>
#include <QSize>

#include <optional>
#include <vector>

class QListWidget;
class QSlider;
class QSpinBox;
class QLabel;

class CompressionDialog : public QDialog {
    Q_OBJECT

public:
    // Compressors that cannot write frames of frameSize are listed greyed out
    // with the reason; an empty size greys out none.
    explicit CompressionDialog(QWidget* parent = nullptr,
                               std::vector<CodecInfo> codecs = OfferedCodecs(),
                               QSize frameSize = {},
                               MovieContainer container = MovieContainer::Avi);

    // The choice the dialog shows now.
    CompressionChoice choice() const;

    // Runs the dialog: the choice on OK, std::nullopt on Cancel.
    static std::optional<CompressionChoice> ask(QWidget* parent, QSize frameSize,
                                                MovieContainer container);

    // For tests: the list of compressors and the quality controls.
    QListWidget* codecList() const { return list_; }
    QSpinBox* qualitySpin() const { return qualitySpin_; }
    QSlider* qualitySlider() const { return qualitySlider_; }

private:
    void updateQuality();

    std::vector<CodecInfo> codecs_;
    QListWidget* list_;
    QLabel* qualityLabel_;
    QSlider* qualitySlider_;
    QSpinBox* qualitySpin_;
};
