// libFuzzer target: a random datagram or HTTP body, read as every answer an
// ONVIF camera gives (a probe answer, a fault, device information, the
// clock, the media address, profiles, a stream address). None may crash,
// read out of bounds or take memory beyond the readers' bounds; what they
// keep holds to their promises.
#include <QHostAddress>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "capture/discovery/onvif_soap.h"
#include "capture/discovery/ws_discovery.h"

namespace {

void Check(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView answer(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const qmd::ProbeMatch& match : qmd::ParseProbeMatches(answer)) {
        const qmd::FoundCamera camera = qmd::CameraOfMatch(match, QHostAddress(QHostAddress::LocalHost));
        // Only a web address is ever taken for a camera's device service.
        Check(camera.DeviceAddress.isEmpty() || camera.DeviceAddress.scheme() == QLatin1String("http") ||
                  camera.DeviceAddress.scheme() == QLatin1String("https"),
              "a device address that is no web address");
    }
    if (const auto fault = qmd::FaultOf(answer)) (void)fault->IsRefusal();
    (void)qmd::ParseDeviceInformation(answer);
    if (const auto time = qmd::ParseSystemDateAndTime(answer)) Check(time->isValid(), "an invalid camera time");
    (void)qmd::ParseMediaAddress(answer);
    for (const qmd::MediaProfile& profile : qmd::ParseProfiles(answer)) {
        Check(!profile.Token.isEmpty() && profile.Width >= 0 && profile.Height >= 0, "a profile out of its bounds");
    }
    if (const auto uri = qmd::ParseStreamUri(answer)) {
        Check(!uri->isEmpty() && uri->size() <= 1024, "a stream address out of its bounds");
    }
    return 0;
}
