#include "capture/sources/moniker.h"

#include <cstring>

namespace qmd {

namespace {

constexpr char kMagic[4] = {'Q', 'M', 'D', 'M'};
constexpr std::uint8_t kVersion = 2;

void PutString(std::vector<std::uint8_t>& out, const std::string& text)
{
    const auto size = static_cast<std::uint32_t>(text.size());
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(size >> shift));
    out.insert(out.end(), text.begin(), text.end());
}

bool TakeString(const std::vector<std::uint8_t>& in, std::size_t& at, std::string& text)
{
    if (in.size() - at < 4) return false;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
    at += 4;
    if (in.size() - at < size) return false;
    text.assign(reinterpret_cast<const char*>(in.data() + at), size);
    at += size;
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string Moniker::Hex() const
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes_.size() * 2);
    for (const std::uint8_t byte : bytes_) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

Moniker Moniker::FromHex(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    if (hex.size() % 2 != 0) return {};
    for (std::size_t at = 0; at < hex.size(); at += 2) {
        const int high = HexValue(hex[at]), low = HexValue(hex[at + 1]);
        if (high < 0 || low < 0) return {};
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return FromBytes(std::move(bytes));
}

Moniker Moniker::FromBytes(std::vector<std::uint8_t> bytes)
{
    Moniker moniker;
    moniker.bytes_ = std::move(bytes);
    return moniker;
}

Moniker Moniker::FromFields(const VideoSource& fields)
{
    std::vector<std::uint8_t> bytes(std::begin(kMagic), std::end(kMagic));
    bytes.push_back(kVersion);
    bytes.push_back(static_cast<std::uint8_t>(fields.Kind));
    PutString(bytes, fields.DisplayName);
    PutString(bytes, fields.Identity);
    PutString(bytes, fields.DeviceClass);
    PutString(bytes, fields.StableIdentity);
    return FromBytes(std::move(bytes));
}

std::optional<VideoSource> Moniker::Fields() const
{
    if (bytes_.size() < 6 || std::memcmp(bytes_.data(), kMagic, 4) != 0 || bytes_[4] != kVersion) return {};
    VideoSource fields;
    const std::uint8_t kind = bytes_[5];
    if (kind < 1 || kind > static_cast<std::uint8_t>(SourceKind::SavedCamera)) return {};
    fields.Kind = static_cast<SourceKind>(kind);
    std::size_t at = 6;
    if (!TakeString(bytes_, at, fields.DisplayName) || !TakeString(bytes_, at, fields.Identity) ||
        !TakeString(bytes_, at, fields.DeviceClass) || !TakeString(bytes_, at, fields.StableIdentity) ||
        at != bytes_.size())
        return {};
    return fields;
}

}  // namespace qmd
