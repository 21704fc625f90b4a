// libFuzzer target: a random ustawienia.ini followed by a random list of
// reads and writes. Reads must never crash; a write either raises or is read
// back exactly (blanks around it dropped, cut at 2047 bytes).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "base/settings_file.h"
#include "base/settings_keys.h"
#include "common/quisk_error.h"

namespace {

// The program's own names, another case of one, and a name it never uses.
constexpr std::string_view kSections[] = {qmd::keys::kMotion, qmd::keys::kGeneral, "RUCH", "x"};
constexpr std::string_view kKeys[] = {qmd::keys::Sensitivity.Name, qmd::keys::Alarm.Name, qmd::keys::PhotoFolder.Name,
                                      "czulosc", qmd::keys::WindowLeft.Name};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line of the input says how long the file part is.
    const std::size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) * 8;
    input.remove_prefix(input.empty() ? 0 : 1);
    const std::string_view file = input.substr(0, split);
    std::string_view ops = input.substr(std::min(split, input.size()));

    const std::string path = "fuzz-ustawienia.ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(file.data(), static_cast<std::streamsize>(file.size()));
    }
    qmd::SettingsFile settings(path);
    while (ops.size() >= 3) {
        const unsigned op = static_cast<unsigned char>(ops[0]);
        const auto section = kSections[static_cast<unsigned char>(ops[1]) % std::size(kSections)];
        const auto key = kKeys[static_cast<unsigned char>(ops[2]) % std::size(kKeys)];
        ops.remove_prefix(3);
        const std::size_t length = std::min<std::size_t>(ops.size(), op >> 2);
        const std::string_view value = ops.substr(0, length);
        ops.remove_prefix(length);
        switch (op & 3) {
        case 0: (void)settings.ReadString(section, key, "d"); break;
        case 1:
            (void)settings.ReadInteger(section, key, 150);
            (void)settings.ReadBool(section, key, true);
            break;
        case 2: {
            bool refused = false;
            try {
                settings.WriteString(section, key, value);
            } catch (const qmd::QuiskError&) {
                refused = true;
            }
            const bool breaks = value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
            if (refused != breaks) std::abort();
            if (!refused) {
                const std::string expected(Trim(value).substr(0, 2047));
                const std::string back = settings.ReadString(section, key, "d");
                // A cut may step back over a split UTF-8 character.
                if (back != expected && !(back.size() < expected.size() && expected.size() == 2047 &&
                                          expected.compare(0, back.size(), back) == 0))
                    std::abort();
            }
            break;
        }
        default:
            settings.WriteInteger(section, key, static_cast<std::int32_t>(value.size()) - 5);
            if (settings.ReadInteger(section, key, 9999) != static_cast<std::int32_t>(value.size()) - 5) std::abort();
            break;
        }
    }
    std::remove(path.c_str());
    return 0;
}
