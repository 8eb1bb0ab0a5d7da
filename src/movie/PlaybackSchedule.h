#pragma once

// What playback shows: the movie's positions exactly as the conversion gives
// them (the frame lines of ForEachFrameLine), so that watching the list and
// watching the movie are one thing. Position p shows the line with the
// largest position not above p; positions before the first line show white.
// Lines that repeat the path of the line before (hold lines) are the same
// picture and are drawn once.

#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QList>

#include <vector>

class PlaybackSchedule {
public:
    struct Line {
        long position = 0;
        QByteArray path; // the image, or the blank-frame marker
        long source = 0; // the line whose picture this is: itself, or the one it repeats
    };

    PlaybackSchedule() = default;
    // rows: the list's paths (resolved as the conversion resolves them).
    PlaybackSchedule(const QList<QByteArray>& rows, const ProjectSettings& settings);

    // Positions 0 .. positionCount() - 1; 0 when the movie would have no frame.
    long positionCount() const { return lines_.empty() ? 0 : lines_.back().position + 1; }
    const std::vector<Line>& lines() const { return lines_; }
    // The line shown at position; -1 before the first line (white).
    long lineAt(long position) const;
    // The row the list shows while position plays: the row of that number,
    // or the last row for the closing blank frame.
    int rowAt(long position) const { return int(std::min<long>(position, rowCount_ - 1)); }
    int rowCount() const { return rowCount_; }

private:
    std::vector<Line> lines_;
    int rowCount_ = 0;
};
