#pragma once
// The module that finds cameras, loaded on the first search rather than
// linked: it links Qt Network, whose libraries (Kerberos, libproxy, Brotli)
// take about 1 MB of a program that watches a camera and never searches.
// It lies among the program's private libraries, found from the
// executable's folder; once loaded it stays, as the finders it made may
// still be alive.
#include "capture/discovery/camera_finder.h"

#include <QString>

namespace qmd {

struct CameraFinderModule {
    // Makes finders; empty when the module could not be loaded.
    CameraFinderMaker Make;
    // Why not, in plain words for the user ("Nie można szukać kamer: …"),
    // and the loader's own words, for the log.
    QString Failure;
    QString Detail;
};

// Where the module is: among the program's private libraries.
QString CameraFinderModulePath();

// Loads the module at `path` (the program's own unless told); a module
// already loaded is taken as it is, and a call after a failure tries again.
CameraFinderModule LoadCameraFinderModule(const QString& path = CameraFinderModulePath());

}  // namespace qmd
