#include "net/service.h"

#include "net/listener_run.h"
#include "net/output_senders.h"

std::atomic<std::uint32_t> bindAddress{0};

namespace net {

Service::Service(WindowPort& window)
    : outputSenders(std::make_unique<OutputSenders>()), window_(window) {}

Service::~Service() = default;

}  // namespace net
