// The tests' ONVIF camera as a program of its own, for the end-to-end tests:
// answers the WS-Discovery probe on the cameras' multicast group (run it in
// the test's network namespace: tests/support/in_network_namespace.sh) and
// the ONVIF calls on the loopback interface, giving STREAM as the address of
// its main profile and SUB (STREAM unless told) as its sub-stream's. Writes
// its device service's address on a line of its own once it answers, each
// call it answers to standard error ("answered GetStreamUri"), and runs
// until it is ended (SIGTERM).
//
//   qmd_onvif_camera STREAM [SUB]
#include "capture/discovery/ws_discovery.h"
#include "support/onvif_test_camera.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: qmd_onvif_camera STREAM [SUB]\n");
        return 2;
    }
    qmd::test::OnvifTestCameraOptions options;
    options.MainStream = arguments[1];
    options.SubStream = arguments.size() > 2 ? arguments[2] : arguments[1];
    qmd::test::OnvifTestCamera camera(options);
    if (!camera.Listen() ||
        !camera.AnswerProbes(QHostAddress(QString::fromLatin1(qmd::kWsDiscoveryGroup)), qmd::kWsDiscoveryPort)) {
        std::fprintf(stderr, "qmd_onvif_camera: cannot listen\n");
        return 1;
    }
    camera.Answered = [](const QString& call) { std::fprintf(stderr, "answered %s\n", qPrintable(call)); };
    std::printf("%s\n", camera.DeviceAddress().toEncoded().constData());
    std::fflush(stdout);
    return application.exec();
}
