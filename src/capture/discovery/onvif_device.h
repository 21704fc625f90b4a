#pragma once
// What one ONVIF camera is asked with and what it tells: the user and
// password, its maker and model, its media profiles with their stream
// addresses, and why asking it failed, in plain words. QtCore only: the
// window that asks cameras includes it without loading Qt Network.
#include <QString>

namespace qmd {

struct OnvifCredentials {
    QString User;
    QString Password;
};

struct DeviceInformation {
    QString Maker;
    QString Model;
};

struct MediaProfile {
    QString Token;
    QString Name;
    QString Encoding;  // H264, JPEG, …; empty when not told
    int Width = 0;
    int Height = 0;
    QString StreamAddress;  // filled by GetStreamUri
};

enum class OnvifFailure {
    Refused,   // the user or password
    NoAnswer,  // nothing answers, or not in time
    NotOnvif,  // what answers does not speak ONVIF, or not readably
    NoStream,  // the camera offers no stream address
};

// The failure in plain words, for the user.
QString Describe(OnvifFailure failure);

}  // namespace qmd
