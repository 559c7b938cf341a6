// A range of the signal history written as the event log writes its lines,
// so that a stretch of the diagram can be saved as a log of its own and
// opened again like any log.
#pragma once

#include <string>
#include <vector>

#include "history/timeline.h"

namespace store {

// The changes of [from, to): the header line with the names (CP932,
// inputs then outputs), then a line for each change with every signal's
// state, stamped with its whole second as the log stamps a frame. Changes
// while the server is stopped are left out, as the log writes frames only
// while it serves; the program's own changes carry the address 0.0.0.0.
// Lines end in "\n", which the text file writes as CR LF.
std::string rangeCsv(const history::Timeline& timeline, history::TimeMs from, history::TimeMs to,
                     const std::vector<std::string>& names);

}  // namespace store
