// Router port mapping through libnatpmp (NAT-PMP) and libminiupnpc (UPnP IGD): the one file that names them.
#include "platform/router_mapping.h"

#include <arpa/inet.h>
#include <sys/select.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>
#include <natpmp.h>

namespace {

constexpr char kDescription[] = "QIVRA presence";
constexpr int kUpnpOnlyPermanentLeases = 725;

using Clock = std::chrono::steady_clock;

void CopyText(char* out, std::size_t size, const char* text) {
  std::size_t n = text ? strnlen(text, size - 1) : 0;
  std::memcpy(out, text ? text : "", n);
  out[n] = '\0';
}

// Waits for the answer to the request libnatpmp has pending, resending on its schedule,
// until the deadline. 0 and the response, or a NATPMP_ERR_ code.
int ReadNatPmp(natpmp_t* n, natpmpresp_t* response, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NATPMP_ERR_NOGATEWAYSUPPORT;
    timeval wait;
    if (getnatpmprequesttimeout(n, &wait) < 0) return NATPMP_ERR_UNDEFINEDERROR;
    long long want = static_cast<long long>(wait.tv_sec) * 1000000 + wait.tv_usec;
    if (want > left) want = left;
    if (want < 0) want = 0;
    wait.tv_sec = static_cast<time_t>(want / 1000000);
    wait.tv_usec = static_cast<suseconds_t>(want % 1000000);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(n->s, &readable);
    select(n->s + 1, &readable, nullptr, nullptr, &wait);
    int r = readnatpmpresponseorretry(n, response);
    if (r != NATPMP_TRYAGAIN) return r;
  }
}

// One NAT-PMP mapping request (lifetime 0 removes it). 1 when the router agreed on `port`.
int NatPmpRequest(RouterLease* lease, int lifetime, int timeoutMs, bool askAddress) {
  natpmp_t n;
  int forced = lease->gateway != 0;
  if (initnatpmp(&n, forced, lease->gateway) < 0) return 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  natpmpresp_t response;
  std::memset(&response, 0, sizeof response);
  if (askAddress && sendpublicaddressrequest(&n) >= 0 && ReadNatPmp(&n, &response, deadline) == 0 &&
      response.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
    lease->publicAddress = response.pnu.publicaddress.addr.s_addr;
  }
  int result = 0;
  uint16_t port = static_cast<uint16_t>(lease->port);
  if (sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, port, lifetime ? port : 0,
                                static_cast<uint32_t>(lifetime)) >= 0 &&
      ReadNatPmp(&n, &response, deadline) == 0 && response.type == NATPMP_RESPTYPE_UDPPORTMAPPING) {
    if (lifetime == 0) {
      result = 1;
    } else if (response.pnu.newportmapping.mappedpublicport == port) {
      lease->leaseSeconds = static_cast<int>(response.pnu.newportmapping.lifetime);
      result = 1;
    } else {
      // Another port outside is no use: peers send to this one. Give it back.
      sendnewportmappingrequest(&n, NATPMP_PROTOCOL_UDP, port, 0, 0);
    }
  }
  lease->gateway = n.gateway;
  closenatpmp(&n);
  return result;
}

int UpnpAdd(RouterLease* lease, int leaseSeconds) {
  char port[16], duration[16];
  std::snprintf(port, sizeof port, "%d", lease->port);
  std::snprintf(duration, sizeof duration, "%d", leaseSeconds);
  int r = UPNP_AddPortMapping(lease->controlUrl, lease->serviceType, port, port, lease->client, kDescription,
                              "UDP", nullptr, duration);
  if (r == kUpnpOnlyPermanentLeases && leaseSeconds != 0) return UpnpAdd(lease, 0);
  if (r != UPNPCOMMAND_SUCCESS) return 0;
  lease->leaseSeconds = leaseSeconds;
  return 1;
}

int UpnpMap(RouterLease* lease, uint32_t localAddress, int leaseSeconds, int timeoutMs) {
  int error = 0;
  int delay = timeoutMs > 200 ? timeoutMs / 2 : 100;
  UPNPDev* devices = upnpDiscover(delay, nullptr, nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error);
  if (!devices) return 0;
  UPNPUrls urls;
  IGDdatas data;
  std::memset(&urls, 0, sizeof urls);
  std::memset(&data, 0, sizeof data);
  char lanAddress[64] = {0};
  int found = UPNP_GetValidIGD(devices, &urls, &data, lanAddress, sizeof lanAddress);
  freeUPNPDevlist(devices);
  int result = 0;
  if (found == 1 && urls.controlURL) {
    CopyText(lease->controlUrl, sizeof lease->controlUrl, urls.controlURL);
    CopyText(lease->serviceType, sizeof lease->serviceType, data.first.servicetype);
    if (localAddress != 0) {
      in_addr a;
      a.s_addr = localAddress;
      inet_ntop(AF_INET, &a, lease->client, sizeof lease->client);
    } else {
      CopyText(lease->client, sizeof lease->client, lanAddress);
    }
    result = UpnpAdd(lease, leaseSeconds);
    char external[40] = {0};
    in_addr outside;
    if (result && UPNP_GetExternalIPAddress(lease->controlUrl, lease->serviceType, external) == 0 &&
        inet_pton(AF_INET, external, &outside) == 1) {
      lease->publicAddress = outside.s_addr;
    }
  }
  if (found) FreeUPNPUrls(&urls);
  return result;
}

}  // namespace

int RouterMapUdpPort(int port, uint32_t localAddress, int leaseSeconds, int timeoutMs, RouterLease* lease) {
  std::memset(lease, 0, sizeof *lease);
  lease->port = port;
  // NAT-PMP first: one quick question to the default gateway, no waiting for replies that
  // never come from routers without it (discovery of UPnP always waits its whole delay).
  if (NatPmpRequest(lease, leaseSeconds, timeoutMs / 2, true)) {
    lease->method = RouterNatPmp;
    return 1;
  }
  uint32_t gateway = lease->gateway;
  std::memset(lease, 0, sizeof *lease);
  lease->port = port;
  lease->gateway = gateway;
  if (UpnpMap(lease, localAddress, leaseSeconds, timeoutMs / 2)) {
    lease->method = RouterUpnp;
    return 1;
  }
  std::memset(lease, 0, sizeof *lease);
  return 0;
}

int RouterRenewUdpPort(RouterLease* lease, int timeoutMs) {
  int wanted = lease->leaseSeconds;
  if (lease->method == RouterNatPmp) return NatPmpRequest(lease, wanted, timeoutMs, false);
  if (lease->method == RouterUpnp) return UpnpAdd(lease, wanted);
  return 0;
}

void RouterUnmapUdpPort(RouterLease* lease, int timeoutMs) {
  if (lease->method == RouterNatPmp) {
    NatPmpRequest(lease, 0, timeoutMs, false);
  } else if (lease->method == RouterUpnp) {
    char port[16];
    std::snprintf(port, sizeof port, "%d", lease->port);
    UPNP_DeletePortMapping(lease->controlUrl, lease->serviceType, port, "UDP", nullptr);
  }
  std::memset(lease, 0, sizeof *lease);
}
