#pragma once
// The program's settings: every key of ustawienia.ini with its section, its
// type and the value a missing or unreadable key reads as. This is the only
// place that spells a section or a key; everything that reads or writes the
// file names the key from here (SettingsFile::Read / Write), and in-memory
// state that stands for a setting before the file is read starts from the
// default here.
//
// Types: an integer is a signed 32-bit number; a flag is an integer read as
// on (not 0) or off; a text reads as empty when missing. The window's edges
// have no fixed default: a missing one leaves the window where it is.
#include <cstdint>
#include <string_view>

namespace qmd {

struct IntegerKey {
    std::string_view Section;
    std::string_view Name;
    std::int32_t Default;
};

struct FlagKey {
    std::string_view Section;
    std::string_view Name;
    bool Default;
};

struct TextKey {  // default: the empty text
    std::string_view Section;
    std::string_view Name;
};

struct WindowEdgeKey {  // default: the window's current edge
    std::string_view Section;
    std::string_view Name;
};

namespace keys {

inline constexpr std::string_view kFileName = "ustawienia.ini";  // in AppDir
// The log of motion the "Zapisz w dzienniku" reaction writes, in AppDir.
inline constexpr std::string_view kLogFileName = "Dziennik.log";

// The reactions and the sensitivity.
inline constexpr std::string_view kMotion = "Ruch";
// The device, the start delay and the window.
inline constexpr std::string_view kGeneral = "Ogolne";

// The sensitivity slider's position, 0..255 (the slider brings other values
// to the nearer end).
inline constexpr IntegerKey Sensitivity{kMotion, "Czulosc", 150};
inline constexpr FlagKey Alarm{kMotion, "Alarm", true};
// The photo folder; the photo reaction's mark is on while it is not empty.
inline constexpr TextKey PhotoFolder{kMotion, "Zrob zdjecie"};
// Frames only counted after a memory reset (StartDelayFrames).
inline constexpr IntegerKey StartDelay{kGeneral, "Opoznienie wykrywania", 25};
// The smallest changed area that is motion, and the largest that is still
// motion rather than a change of light, in hundredths of a percent of the
// picture (0 .. 10000). 0 makes one pixel motion, and takes no change for
// light.
inline constexpr IntegerKey SmallestArea{kMotion, "Najmniejszy obszar", 0};
inline constexpr IntegerKey LightChangeBound{kMotion, "Zmiana oswietlenia", 0};
// The WAVE file the sound reaction plays.
inline constexpr TextKey SoundFile{kMotion, "Odtworz plik dzwiekowy"};
// The text of the information window.
inline constexpr TextKey InformationText{kMotion, "Informacja"};
// The power action window's item: -1 nothing chosen, 0 "Nie rób nic", 1..5
// a power action.
inline constexpr IntegerKey PowerAction{kMotion, "Tryb pracy", -1};
inline constexpr FlagKey MinimiseToTray{kMotion, "Minimalizuj do Traya", false};
inline constexpr FlagKey KeepLog{kMotion, "Prowadz dziennik", true};
// "Pokaż powiadomienie": a desktop notification on motion.
inline constexpr FlagKey Notification{kMotion, "Powiadomienie", false};
// "Nagraj film": the clip folder (the reaction is on while it is not empty),
// the seconds kept from before the first detection and recorded after the
// last, and the most the program's own clips may take in that folder, in MB.
inline constexpr TextKey ClipFolder{kMotion, "Nagraj film"};
inline constexpr IntegerKey ClipSecondsBefore{kMotion, "Film przed ruchem", 3};
inline constexpr IntegerKey ClipSecondsAfter{kMotion, "Film po ruchu", 5};
inline constexpr IntegerKey ClipFolderLimit{kMotion, "Limit filmow", 2048};
// The position of the last chosen device in the device menu, from 0.
inline constexpr IntegerKey LastDevice{kGeneral, "Ostatnie urzadzenie", -1};
inline constexpr FlagKey RememberDevice{kGeneral, "Zapamietuj urzadzenie", true};
// The last chosen device's identity (its moniker's bytes in hexadecimal), by
// which a camera that is not there yet at start-up is recognised when it
// comes; the position above keeps its meaning.
inline constexpr TextKey LastCamera{kGeneral, "Ostatnia kamera"};
inline constexpr FlagKey RememberWindowPosition{kGeneral, "Zapamietaj pozycje okna", true};
// The main window's left and top edges in screen pixels.
inline constexpr WindowEdgeKey WindowLeft{kGeneral, "Pozycja X"};
inline constexpr WindowEdgeKey WindowTop{kGeneral, "Pozycja Y"};

}  // namespace keys
}  // namespace qmd
