#pragma once
// The five power actions of the power action reaction.
namespace qmd {

class PowerManager {
public:
    virtual ~PowerManager() = default;
    virtual void Suspend() = 0;
    virtual void Hibernate() = 0;
    virtual void LogOff() = 0;  // ends the user's session
    virtual void PowerOff() = 0;
    virtual void Reboot() = 0;
};

// Carries out the action of a power action index: 1 suspend, 2 hibernate,
// 3 log off, 4 power off, 5 reboot. Returns whether an action was requested
// (false for 0, -1 and anything else).
bool RequestPowerAction(PowerManager& power, int index);

// The index a stored "Tryb pracy" selects: -1 .. 5 as stored, and -1
// (nothing chosen) for any other value. The program writes only -1 .. 5, so
// anything else comes from a damaged or hand-edited file, and must never
// choose a power action (least of all a reboot) that nobody chose.
int StoredPowerIndex(int stored);
// Whether the index is one of the five actions (1 .. 5).
bool IsPowerAction(int index);

}  // namespace qmd
