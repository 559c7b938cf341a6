// The iphelp calls on Linux: links and IPv4 addresses from route netlink
// dumps, link speed from ethtool. Both ask the kernel about the caller's own
// network namespace (sysfs may show another one).
// The C library's interface header goes before the kernel's, which then
// leaves out the definitions the two share.
#include <arpa/inet.h>
#include <linux/ethtool.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/iphelp.h"
#include "platform/iphelp_buffers.h"
#include "platform/text.h"

namespace iphelp {
namespace {

struct Link {
    std::uint32_t index = 0;
    unsigned flags = 0;
    unsigned short type = 0;
    std::string hardwareAddress;
    std::string name;
    std::string alias;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

std::string attributeBytes(const rtattr* attribute) {
    return std::string(static_cast<const char*>(RTA_DATA(attribute)), RTA_PAYLOAD(attribute));
}

std::string attributeText(const rtattr* attribute) {
    std::string value = attributeBytes(attribute);
    value.resize(std::strlen(value.c_str()));
    return value;
}

// Sends one dump request and hands every answering message to onMessage;
// false when the kernel could not be asked or the dump broke off.
template <class OnMessage>
bool dump(std::uint16_t requestType, unsigned char family, OnMessage onMessage) {
    Descriptor netlink(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (netlink.get() < 0) return false;
    const timeval timeout{2, 0};
    ::setsockopt(netlink.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    struct {
        nlmsghdr header;
        rtgenmsg message;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtgenmsg));
    request.header.nlmsg_type = requestType;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.message.rtgen_family = family;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.get(), &request, request.header.nlmsg_len, 0,
                 reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0) {
        return false;
    }

    // A dump ends with NLMSG_DONE; the bound only guards against a kernel
    // that never says so.
    std::vector<char> buffer(64 * 1024);
    for (int datagrams = 0; datagrams < 100'000; ++datagrams) {
        const ssize_t received = ::recv(netlink.get(), buffer.data(), buffer.size(), 0);
        if (received <= 0) return false;
        auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data());
        auto remaining = static_cast<unsigned>(received);
        for (; NLMSG_OK(header, remaining); header = NLMSG_NEXT(header, remaining)) {
            if (header->nlmsg_seq != request.header.nlmsg_seq) continue;
            if (header->nlmsg_type == NLMSG_DONE) return true;
            if (header->nlmsg_type == NLMSG_ERROR) return false;
            onMessage(header);
        }
    }
    return false;
}

std::optional<std::vector<Link>> readLinks() {
    std::vector<Link> links;
    const bool complete = dump(RTM_GETLINK, AF_UNSPEC, [&](const nlmsghdr* header) {
        if (header->nlmsg_type != RTM_NEWLINK) return;
        if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) return;
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(header));
        Link link;
        link.index = static_cast<std::uint32_t>(info->ifi_index);
        link.flags = info->ifi_flags;
        link.type = info->ifi_type;
        auto length = static_cast<unsigned>(IFLA_PAYLOAD(header));
        for (auto* attribute = IFLA_RTA(info); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            switch (attribute->rta_type) {
                case IFLA_ADDRESS:
                    link.hardwareAddress = attributeBytes(attribute);
                    break;
                case IFLA_IFNAME:
                    link.name = attributeText(attribute);
                    break;
                case IFLA_IFALIAS:
                    link.alias = attributeText(attribute);
                    break;
                default:
                    break;
            }
        }
        links.push_back(std::move(link));
    });
    if (!complete) return std::nullopt;
    return links;
}

std::optional<std::vector<IpAddrRow>> readIpv4Addresses() {
    std::vector<IpAddrRow> rows;
    const bool complete = dump(RTM_GETADDR, AF_INET, [&](const nlmsghdr* header) {
        if (header->nlmsg_type != RTM_NEWADDR) return;
        if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) return;
        const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(header));
        if (info->ifa_family != AF_INET || info->ifa_prefixlen > 32) return;
        std::optional<std::uint32_t> local, address;
        auto length = static_cast<unsigned>(IFA_PAYLOAD(header));
        for (auto* attribute = IFA_RTA(info); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            if (RTA_PAYLOAD(attribute) != sizeof(std::uint32_t)) continue;
            std::uint32_t value = 0;
            std::memcpy(&value, RTA_DATA(attribute), sizeof value);
            if (attribute->rta_type == IFA_LOCAL) local = value;
            if (attribute->rta_type == IFA_ADDRESS) address = value;
        }
        // On a point-to-point link IFA_ADDRESS is the far end.
        const std::optional<std::uint32_t> own = local ? local : address;
        if (!own) return;
        const std::uint32_t hostMask =
            info->ifa_prefixlen == 0 ? 0 : ~std::uint32_t{0} << (32 - info->ifa_prefixlen);
        rows.push_back({*own, info->ifa_index, htonl(hostMask)});
    });
    if (!complete) return std::nullopt;
    return rows;
}

// Link speed in bit/s; 0 when the driver does not know it.
std::uint32_t linkSpeed(const std::string& name) {
    if (name.empty() || name.size() >= IFNAMSIZ) return 0;
    Descriptor probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (probe.get() < 0) return 0;
    ethtool_cmd command{};
    command.cmd = ETHTOOL_GSET;
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    request.ifr_data = reinterpret_cast<char*>(&command);
    if (::ioctl(probe.get(), SIOCETHTOOL, &request) != 0) return 0;
    const std::uint32_t megabits = ethtool_cmd_speed(&command);
    if (megabits == static_cast<std::uint32_t>(SPEED_UNKNOWN)) return 0;
    const std::uint64_t bits = std::uint64_t{megabits} * 1'000'000;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(bits, UINT32_MAX));
}

IfRow toIfRow(const Link& link) {
    IfRow row;
    row.index = link.index;
    const bool up = (link.flags & IFF_UP) != 0;
    const bool running = (link.flags & IFF_RUNNING) != 0;
    row.operStatus = up && running ? operStatusOperational
                     : up          ? operStatusDisconnected
                                   : operStatusNonOperational;
    const bool loopback = link.type == ARPHRD_LOOPBACK || (link.flags & IFF_LOOPBACK) != 0;
    const bool allZero = std::ranges::all_of(link.hardwareAddress, [](char c) { return c == 0; });
    if (!loopback && !allZero) {
        const std::size_t length = std::min(link.hardwareAddress.size(), maxPhysicalAddressBytes);
        std::memcpy(row.physicalAddress, link.hardwareAddress.data(), length);
        row.physicalAddressLength = static_cast<std::uint32_t>(length);
    }
    row.speed = linkSpeed(link.name);
    const std::string description = text::utf8ToCp932(link.name);
    const std::string_view fitting = text::truncateCp932(description, maxDescriptionBytes - 1);
    std::memcpy(row.description, fitting.data(), fitting.size());
    row.descriptionLength = static_cast<std::uint32_t>(fitting.size() + 1);
    return row;
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string utf16FromUtf8(std::string_view utf8) {
    std::u16string units;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        std::size_t length = 0;
        char32_t point = 0;
        if (lead < 0x80) {
            length = 1;
            point = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            point = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            point = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            point = lead & 0x07u;
        }
        std::size_t taken = 1;
        while (length > 1 && taken < length && at + taken < utf8.size() &&
               (static_cast<unsigned char>(utf8[at + taken]) & 0xC0) == 0x80) {
            point = (point << 6) | (static_cast<unsigned char>(utf8[at + taken]) & 0x3Fu);
            ++taken;
        }
        at += taken;
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        const bool valid = length != 0 && taken == length && point >= minimum[length] &&
                           point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (!valid) {
            units.push_back(u'\uFFFD');
        } else if (point >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(point));
        }
    }
    return units;
}

}  // namespace

Status getIfTable(IfTable* table, std::uint32_t* size) {
    const auto links = readLinks();
    if (!links) return errorNotSupported;
    std::vector<IfRow> rows;
    rows.reserve(links->size());
    for (const auto& link : *links) rows.push_back(toIfRow(link));
    return detail::writeTable(std::span<const IfRow>(rows), table, size);
}

Status getIfEntry(IfRow* row) {
    if (row == nullptr) return errorInvalidParameter;
    const auto links = readLinks();
    if (!links) return errorNotSupported;
    const auto found = std::ranges::find(*links, row->index, &Link::index);
    if (found == links->end()) return errorNotFound;
    *row = toIfRow(*found);
    return noError;
}

Status getIpAddrTable(IpAddrTable* table, std::uint32_t* size) {
    const auto addresses = readIpv4Addresses();
    if (!addresses) return errorNotSupported;
    return detail::writeTable(std::span<const IpAddrRow>(*addresses), table, size);
}

Status getAdaptersAddresses(std::uint32_t family, std::uint32_t /*flags*/,
                            AdapterAddresses* addresses, std::uint32_t* size) {
    if (family != familyUnspecified && family != familyInet) return errorInvalidParameter;
    const auto links = readLinks();
    if (!links) return errorNotSupported;
    std::vector<detail::AdapterSource> sources;
    for (const auto& link : *links) {
        sources.push_back({link.index, utf16FromUtf8(link.alias.empty() ? link.name : link.alias)});
    }
    return detail::writeAdapterList(sources, addresses, size);
}

}  // namespace iphelp
