// The reference server as a program of its own, for comparisons with the
// built monitors: reference_server ADDRESS SECONDS PORT...
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/sock.h"
#include "reference_server.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: reference_server ADDRESS SECONDS PORT...\n");
        return 2;
    }
    std::vector<int> ports;
    for (int i = 3; i < argc; ++i) ports.push_back(std::atoi(argv[i]));
    sock::startup();
    int status = 0;
    {
        bench::ReferenceServer server;
        if (server.start(argv[1], ports)) {
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        } else {
            std::fprintf(stderr, "reference_server: cannot listen on %s\n", argv[1]);
            status = 3;
        }
    }
    sock::cleanup();
    return status;
}
