#include "capture/discovery/onvif_device.h"

#include <QCoreApplication>

namespace qmd {

QString Describe(OnvifFailure failure)
{
    const char* const context = "qmd::OnvifCameraClient";
    switch (failure) {
    case OnvifFailure::Refused:
        return QCoreApplication::translate(context, "Kamera nie przyjmuje tego użytkownika lub hasła");
    case OnvifFailure::NoAnswer: return QCoreApplication::translate(context, "Kamera nie odpowiada");
    case OnvifFailure::NotOnvif:
        return QCoreApplication::translate(context, "To, co odpowiada pod tym adresem, nie jest kamerą ONVIF");
    case OnvifFailure::NoStream: return QCoreApplication::translate(context, "Kamera nie podaje adresu strumienia");
    }
    return {};
}

}  // namespace qmd
