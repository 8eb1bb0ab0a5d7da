#pragma once

// The compression options dialog: "Full Frames (Uncompressed)" first and
// preselected, then the encoders this libavcodec offers that AVI can hold.

#include "movie/AviWriter.h"

#include <QDialog>

#include <optional>

class CompressionDialog : public QDialog {
    Q_OBJECT

public:
    explicit CompressionDialog(QWidget* parent = nullptr);

    // The choice on OK, std::nullopt on Cancel.
    static std::optional<CompressionChoice> Ask(QWidget* parent);
};
