#include "history/timeline.h"

#include <algorithm>
#include <cmath>

namespace history {

namespace {

RowStates operator|(RowStates a, RowStates b) {
    return {static_cast<RowMask>(a.on | b.on), static_cast<RowMask>(a.off | b.off),
            static_cast<RowMask>(a.grey | b.grey)};
}

}  // namespace

Timeline::Timeline(RowSet rows, std::optional<Bound> bound) : rows_(rows), bound_(bound) {}

RowMask Timeline::changedAt(std::size_t index) const {
    if (index % chunkSize == 0) return chunkOf(index).firstChanged;
    return changedRows(at(index - 1), at(index), rows_);
}

bool Timeline::append(Change change) {
    RowMask changed = rows_.all();
    if (size_ > 0) {
        const Change& last = back();
        change.time = std::max(change.time, last.time);
        changed = changedRows(last, change, rows_);
        if (changed == 0) return false;
    }
    if (chunks_.empty() || chunks_.back()->count == chunkSize) {
        const std::optional<Change> before = size_ > 0 ? std::optional(back()) : std::nullopt;
        dropOldChunks(change.time);
        chunks_.push_back(std::make_shared<Chunk>());
        chunks_.back()->firstChanged = changed;
        for (int row = 0; row < rows_.count(); ++row) {
            chunks_.back()->tallies[static_cast<std::size_t>(row)] =
                RowTally(change.time, before ? rowStateOf(*before, rows_, row) : RowState::None);
        }
    }
    Chunk& chunk = *chunks_.back();
    tally(chunk, change, changed);
    chunk.changes[chunk.count++] = change;
    chunk.seen = chunk.seen | statesOf(change, rows_);
    chunk.changed = static_cast<RowMask>(chunk.changed | changed);
    ++size_;
    return true;
}

// Only the rows the change altered are stepped: a tally counts the time a
// row spent in a state when the row leaves it, or when a range ends.
void Timeline::tally(Chunk& chunk, const Change& change, RowMask changed) const {
    for (int row = 0; row < rows_.count(); ++row) {
        if ((changed & (1u << row)) != 0) {
            chunk.tallies[static_cast<std::size_t>(row)].step(change.time,
                                                              rowStateOf(change, rows_, row));
        }
    }
}

// Whole chunks go, so that every chunk but the last stays full.
void Timeline::dropOldChunks(TimeMs newest) {
    if (!bound_) return;
    while (chunks_.size() > 1) {
        const Chunk& oldest = *chunks_.front();
        const bool tooMany = size_ - oldest.count >= bound_->minChanges;
        const bool tooOld = oldest.changes[oldest.count - 1].time < newest - bound_->span;
        if (!tooMany && !tooOld) return;
        size_ -= oldest.count;
        chunks_.pop_front();
        ++droppedChunks_;
    }
}

std::size_t Timeline::lowerBound(TimeMs time) const {
    // The first chunk whose last change is at or after time holds the answer.
    const auto chunk = std::partition_point(
        chunks_.begin(), chunks_.end(),
        [time](const std::shared_ptr<Chunk>& c) { return c->changes[c->count - 1].time < time; });
    if (chunk == chunks_.end()) return size_;
    const Chunk& found = **chunk;
    const auto inside = std::partition_point(
        found.changes.begin(), found.changes.begin() + static_cast<std::ptrdiff_t>(found.count),
        [time](const Change& c) { return c.time < time; });
    return static_cast<std::size_t>(chunk - chunks_.begin()) * chunkSize +
           static_cast<std::size_t>(inside - found.changes.begin());
}

std::vector<Column> Timeline::columns(double start, double width, int count) const {
    std::vector<Column> result(static_cast<std::size_t>(std::max(count, 0)));
    if (size_ == 0 || width <= 0) return result;
    // Times are whole milliseconds: the first change of a column is the
    // first at or after the column's start rounded up.
    std::size_t next = lowerBound(static_cast<TimeMs>(std::ceil(start)));
    std::optional<Change> inForce;
    if (next > 0) inForce = at(next - 1);
    for (std::size_t c = 0; c < result.size(); ++c) {
        const double end = start + static_cast<double>(c + 1) * width;
        Column& column = result[c];
        if (inForce) column = {statesOf(*inForce, rows_), true};
        while (next < size_ && static_cast<double>(at(next).time) < end) {
            const Chunk& chunk = chunkOf(next);
            const Change& chunkLast = chunk.changes[chunk.count - 1];
            if (next % chunkSize == 0 && static_cast<double>(chunkLast.time) < end) {
                column.seen = column.seen | chunk.seen;
                next += chunk.count;
                inForce = chunkLast;
            } else {
                column.seen = column.seen | statesOf(at(next), rows_);
                inForce = at(next);
                ++next;
            }
            column.known = true;
        }
    }
    return result;
}

// A chunk whose summary lacks the rows is passed over whole.
std::optional<std::size_t> Timeline::firstChangeFrom(std::size_t index, RowMask rows) const {
    for (std::size_t i = index; i < size_;) {
        if ((chunkOf(i).changed & rows) == 0) {
            i = chunkEnd(i);
        } else if ((changedAt(i) & rows) != 0) {
            return i;
        } else {
            ++i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> Timeline::lastChangeBefore(std::size_t index, RowMask rows) const {
    for (std::size_t i = index; i > 0;) {
        const std::size_t before = i - 1;
        if ((chunkOf(before).changed & rows) == 0) {
            i = before - before % chunkSize;
        } else if ((changedAt(before) & rows) != 0) {
            return before;
        } else {
            --i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> Timeline::nearestChange(TimeMs time, RowMask rows) const {
    const std::size_t split = lowerBound(time);
    const std::optional<std::size_t> after = firstChangeFrom(split, rows);
    const std::optional<std::size_t> before = lastChangeBefore(split, rows);
    if (!before) return after;
    if (!after) return before;
    return time - at(*before).time <= at(*after).time - time ? before : after;
}

std::optional<std::size_t> Timeline::nextChange(TimeMs time, RowMask rows) const {
    return firstChangeFrom(lowerBound(time + 1), rows);
}

std::optional<std::size_t> Timeline::previousChange(TimeMs time, RowMask rows) const {
    return lastChangeBefore(lowerBound(time), rows);
}

void Timeline::follow(const Timeline& source) {
    if (rows_ != source.rows_ || droppedChunks_ > source.droppedChunks_) {
        chunks_.clear();
        size_ = 0;
        droppedChunks_ = 0;
    }
    rows_ = source.rows_;
    bound_ = source.bound_;
    while (droppedChunks_ < source.droppedChunks_ && !chunks_.empty()) {
        size_ -= chunks_.front()->count;
        chunks_.pop_front();
        ++droppedChunks_;
    }
    if (chunks_.empty()) droppedChunks_ = source.droppedChunks_;
    // A chunk that was not full when copied may have grown since.
    if (!chunks_.empty() && chunks_.back()->count < chunkSize) {
        size_ -= chunks_.back()->count;
        chunks_.pop_back();
    }
    const std::size_t skip = static_cast<std::size_t>(droppedChunks_ - source.droppedChunks_);
    for (std::size_t i = skip + chunks_.size(); i < source.chunks_.size(); ++i) {
        const std::shared_ptr<Chunk>& chunk = source.chunks_[i];
        chunks_.push_back(chunk->count == chunkSize ? chunk : std::make_shared<Chunk>(*chunk));
        size_ += chunk->count;
    }
}

bool Filter::admits(const Change& change) const {
    if (change.address == 0) return true;
    switch (kind) {
        case Kind::All:
            return true;
        case Kind::Port:
            return change.port == port;
        case Kind::Address:
            return change.address == address;
    }
    return true;
}

FilteredTimeline::FilteredTimeline(RowSet rows, Filter filter, std::optional<Bound> bound)
    : out_(rows, bound), filter_(filter) {}

void FilteredTimeline::update(const Timeline& source) {
    const std::uint64_t first = std::max(next_, source.firstSequence());
    for (std::uint64_t sequence = first; sequence < source.appendedCount(); ++sequence) {
        const auto index = static_cast<std::size_t>(sequence - source.firstSequence());
        const Change& change = source.at(index);
        if (!filter_.admits(change)) continue;
        const RowMask altered = source.changedAt(index);
        Change own = change;
        own.on = static_cast<RowMask>((state_.on & ~altered) | (change.on & altered));
        out_.append(own);
        state_ = own;
    }
    next_ = source.appendedCount();
}

}  // namespace history
