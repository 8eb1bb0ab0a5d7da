#pragma once

// What a decode is asked for beyond the file itself, the same for every image
// a project draws (its movie frames, the preview, playback, thumbnails). The
// BMP reader takes nothing from it: a BMP has no orientation tag.

struct DecodeOptions {
    // JPEG and TIFF pictures turned the way their orientation tag says
    // (SPI_APPLY_ORIENTATION); off, their rows come as stored.
    bool applyOrientation = false;

    bool operator==(const DecodeOptions&) const = default;
};
