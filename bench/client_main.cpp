// The benchmark client as a program of its own, for servers in other
// processes: frame_bench ADDRESS PORT. Prints the round trip over 20,000
// frames and the pipelined rate of 20,000 frames on one connection.
#include <cstdio>
#include <cstdlib>

#include "frame_client.h"
#include "platform/sock.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: frame_bench ADDRESS PORT\n");
        return 2;
    }
    constexpr int frames = 20'000;
    sock::startup();
    auto trips = bench::measureRoundTrips(argv[1], std::atoi(argv[2]), frames);
    std::printf(
        "round trip over %zu frames: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
        trips.count, trips.median, trips.p90, trips.p99, trips.max);
    auto pipelined = bench::measurePipelined(argv[1], {std::atoi(argv[2])}, frames);
    std::printf("pipelined, one connection: %.0f frames/s (%ld wrong or missing)\n",
                pipelined.framesPerSecond, pipelined.mismatches);
    sock::cleanup();
    return trips.count == frames && pipelined.mismatches == 0 ? 0 : 1;
}
