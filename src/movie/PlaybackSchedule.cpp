#include "movie/PlaybackSchedule.h"

#include "movie/IntermediateFrameFile.h"

#include <algorithm>

PlaybackSchedule::PlaybackSchedule(const QList<QByteArray>& rows, const ProjectSettings& settings)
    : rowCount_(int(rows.size())) {
    ForEachFrameLine(rows, settings.trimAviSize, settings.noTrailingBlank,
                     [this](long position, const QByteArray& path) {
                         const long line = long(lines_.size());
                         const bool repeats = line > 0 && lines_.back().path == path;
                         lines_.push_back({position, path, repeats ? lines_.back().source : line});
                         return true;
                     });
}

long PlaybackSchedule::lineAt(long position) const {
    const auto after = std::upper_bound(lines_.begin(), lines_.end(), position,
                                        [](long p, const Line& line) { return p < line.position; });
    return long(after - lines_.begin()) - 1;
}
