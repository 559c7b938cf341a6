// The reference servers as a program of their own, for comparisons with the
// built monitors: reference_server [--batched] ADDRESS SECONDS PORT...
// One recv per 3-byte frame by default; --batched reads what the socket
// holds and answers its whole frames with one send.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/sock.h"
#include "reference_server.h"

int main(int argc, char** argv) {
    int first = 1;
    auto style = bench::ReferenceServer::Style::OneFramePerRecv;
    if (argc > 1 && std::string_view(argv[1]) == "--batched") {
        style = bench::ReferenceServer::Style::Batched;
        first = 2;
    }
    if (argc < first + 3) {
        std::fprintf(stderr, "usage: reference_server [--batched] ADDRESS SECONDS PORT...\n");
        return 2;
    }
    std::vector<int> ports;
    for (int i = first + 2; i < argc; ++i) ports.push_back(std::atoi(argv[i]));
    sock::startup();
    int status = 0;
    {
        bench::ReferenceServer server(style);
        if (server.start(argv[first], ports)) {
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[first + 1])));
        } else {
            std::fprintf(stderr, "reference_server: cannot listen on %s\n", argv[first]);
            status = 3;
        }
    }
    sock::cleanup();
    return status;
}
