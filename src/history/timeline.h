// The changes of the signals in time order, kept in fixed chunks that carry
// a summary of what they hold, so that a pixel column of a diagram costs
// the changes at its edges and not every change it spans.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "history/change.h"
#include "history/row_tally.h"

namespace history {

// How much a live history keeps: the oldest changes go once more than
// minChanges remain without them, or once they are older than span.
struct Bound {
    std::size_t minChanges = 1'000'000;
    TimeMs span = 24LL * 60 * 60 * 1000;
};

// What one pixel column shows of every row: the states seen from its start
// to its end. known is false before the first change.
struct Column {
    RowStates seen;
    bool known = false;
    bool operator==(const Column&) const = default;
};

class Timeline {
public:
    static constexpr std::size_t chunkSize = 256;

    explicit Timeline(RowSet rows, std::optional<Bound> bound = std::nullopt);

    RowSet rows() const { return rows_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const Change& at(std::size_t index) const {
        return chunks_[index / chunkSize]->changes[index % chunkSize];
    }
    const Change& back() const { return at(size_ - 1); }
    // The rows whose drawn state the change at index altered; every row for
    // the first change ever kept.
    RowMask changedAt(std::size_t index) const;

    // Changes ever appended; the sequence number of at(i) is
    // firstSequence() + i.
    std::uint64_t appendedCount() const { return firstSequence() + size_; }
    std::uint64_t firstSequence() const { return droppedChunks_ * chunkSize; }

    // Appends a change; one earlier than the last takes the last one's
    // time. A change that alters nothing drawn is not kept (false).
    bool append(Change change);

    // Index of the first change at or after time; size() when none.
    std::size_t lowerBound(TimeMs time) const;
    // Columns [start + i * width, start + (i + 1) * width) for i < count.
    std::vector<Column> columns(double start, double width, int count) const;
    // The change of one of the rows nearest to time; nothing when none.
    std::optional<std::size_t> nearestChange(TimeMs time, RowMask rows) const;
    // The first change of one of the rows after time, and the last before.
    std::optional<std::size_t> nextChange(TimeMs time, RowMask rows) const;
    std::optional<std::size_t> previousChange(TimeMs time, RowMask rows) const;

    // The index past the chunk that holds index.
    std::size_t chunkEnd(std::size_t index) const {
        return index - index % chunkSize + chunkOf(index).count;
    }
    // What row did from the first to the last change of the chunk that
    // starts at index (a multiple of chunkSize above 0), beginning in the
    // state the change before left it.
    const RowTally& chunkTally(std::size_t chunkStart, int row) const {
        return chunkOf(chunkStart).tallies[static_cast<std::size_t>(row)];
    }

    // Becomes a copy of source, sharing its full chunks; cheap when called
    // again: only what source gained or dropped since is looked at.
    void follow(const Timeline& source);

private:
    struct Chunk {
        std::array<Change, chunkSize> changes;
        std::size_t count = 0;
        RowStates seen;            // every state any of its changes leaves
        RowMask changed = 0;       // every row any of its changes altered
        RowMask firstChanged = 0;  // what its first change altered
        std::array<RowTally, maxRows> tallies;
    };
    const Chunk& chunkOf(std::size_t index) const { return *chunks_[index / chunkSize]; }
    void dropOldChunks(TimeMs newest);
    void tally(Chunk& chunk, const Change& change, RowMask changed) const;
    std::optional<std::size_t> firstChangeFrom(std::size_t index, RowMask rows) const;
    std::optional<std::size_t> lastChangeBefore(std::size_t index, RowMask rows) const;

    RowSet rows_;
    std::optional<Bound> bound_;
    // Every chunk but the last is full and never changes again.
    std::deque<std::shared_ptr<Chunk>> chunks_;
    std::size_t size_ = 0;
    std::uint64_t droppedChunks_ = 0;
};

// Which changes a diagram shows: all, or those of one port or one device,
// beside the program's own (server start and stop, ON/OFF buttons).
struct Filter {
    enum class Kind { All, Port, Address };
    Kind kind = Kind::All;
    std::uint16_t port = 0;
    std::uint32_t address = 0;
    bool admits(const Change& change) const;
    bool operator==(const Filter&) const = default;
};

// The signals as the admitted changes alone set them: a row changes only
// where an admitted change altered it.
class FilteredTimeline {
public:
    FilteredTimeline(RowSet rows, Filter filter, std::optional<Bound> bound = std::nullopt);
    // Takes in the changes of source not yet seen.
    void update(const Timeline& source);
    const Timeline& timeline() const { return out_; }
    const Filter& filter() const { return filter_; }

private:
    Timeline out_;
    Filter filter_;
    std::uint64_t next_ = 0;
    Change state_;
};

}  // namespace history
