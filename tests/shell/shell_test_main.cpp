// The main window's tests run in one QApplication on Qt's offscreen platform,
// with one screen as large as a usual desktop (the window's design position
// then lies clear of every snapping edge) and windows without frames.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "gst/init.h"

int main(int argc, char** argv)
{
    const std::string stem = "/tmp/qmd-shell-test-" + std::to_string(::getpid());
    // Whatever the tests make sound goes to a file, never to a sound card.
    const std::string audioFile = stem + "-audio.wav";
    ::setenv("QUISK_AUDIO_FILE", audioFile.c_str(), 1);
    const std::string screenFile = stem + "-screen.json";
    std::ofstream(screenFile)
        << R"({"windowFrameMargins": false, "screens": [)"
        << R"({"name": "desk", "x": 0, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96}]})";
    std::string platform = "offscreen:configfile=" + screenFile;
    std::string platformOption = "-platform";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, {platformOption.data(), platform.data()});
    int qtArgc = static_cast<int>(arguments.size());

    QApplication application(qtArgc, arguments.data());
    QApplication::setQuitOnLastWindowClosed(false);
    qmd::gst::EnsureInitialized();
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::remove(audioFile.c_str());
    std::remove(screenFile.c_str());
    return result;
}
