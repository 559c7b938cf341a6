// The benchmark client as a program of its own, for servers in other
// processes: frame_bench ADDRESS PORT [TRIP_FRAMES PIPELINED_FRAMES].
// Prints the round trip over TRIP_FRAMES frames, one at a time, and the
// pipelined rate of PIPELINED_FRAMES frames on one connection (batches of
// 64 frames sent back to back while another thread reads the replies);
// 20,000 each by default, and a count of 0 leaves its figure out.
#include <cstdio>
#include <cstdlib>

#include "frame_client.h"
#include "platform/sock.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: frame_bench ADDRESS PORT [TRIP_FRAMES PIPELINED_FRAMES]\n");
        return 2;
    }
    const int port = std::atoi(argv[2]);
    const int tripFrames = argc == 5 ? std::atoi(argv[3]) : 20'000;
    const int pipelinedFrames = argc == 5 ? std::atoi(argv[4]) : 20'000;
    sock::startup();
    bool complete = true;
    if (tripFrames > 0) {
        auto trips = bench::measureRoundTrips(argv[1], port, tripFrames);
        std::printf(
            "round trip over %zu frames: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
            trips.count, trips.median, trips.p90, trips.p99, trips.max);
        complete = trips.count == static_cast<std::size_t>(tripFrames);
    }
    if (pipelinedFrames > 0) {
        auto pipelined = bench::measurePipelined(argv[1], {port}, pipelinedFrames);
        std::printf("pipelined, one connection, %d frames: %.0f frames/s (%ld wrong or missing)\n",
                    pipelinedFrames, pipelined.framesPerSecond, pipelined.mismatches);
        complete = complete && pipelined.mismatches == 0;
    }
    sock::cleanup();
    return complete ? 0 : 1;
}
