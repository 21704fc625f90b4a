#pragma once
#include "react/core/power_manager.h"

namespace qmd {

// systemd-logind's Manager on the system bus (QtDBus; needs a
// QCoreApplication). Log-off terminates the caller's session: the one named by
// XDG_SESSION_ID, else logind's "auto" session. Calls are made without
// interaction and wait at most a few seconds for logind's answer; a refused
// call throws QuiskError.
class LogindPowerManager : public PowerManager {
public:
    void Suspend() override;
    void Hibernate() override;
    void LogOff() override;
    void PowerOff() override;
    void Reboot() override;
};

}  // namespace qmd
