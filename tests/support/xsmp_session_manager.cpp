// A minimal X session manager (XSMP over ICE) for the end-to-end tests: it
// speaks to the program the way a desktop's session manager does at a
// checkpoint and at log-off.
//
// Prints the value for SESSION_MANAGER on the first line of standard output,
// then "ready" once a client has registered and answered its initial save.
// Reads commands, one a line, on standard input:
//   checkpoint  a save that ends nothing (as a desktop saves its session now
//               and then); prints "saved" when the client is done
//   logout      a save for the end of the session, then Die; prints "died"
//               when the Die is sent
// Ends when standard input closes.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

SmsConn client = nullptr;
IceConn clientConnection = nullptr;
int savesDone = 0;
bool dieAfterSave = false;

void Say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

Status RegisterClient(SmsConn connection, SmPointer, char* previousId)
{
    std::free(previousId);
    char* id = SmsGenerateClientID(connection);
    SmsRegisterClientReply(connection, id);
    std::free(id);
    // Every new client gets an initial local save, as the protocol asks.
    SmsSaveYourself(connection, SmSaveLocal, False, SmInteractStyleNone, False);
    return 1;
}

void InteractRequest(SmsConn connection, SmPointer, int) { SmsInteract(connection); }
void InteractDone(SmsConn, SmPointer, Bool) {}
void SaveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void SaveYourselfPhase2Request(SmsConn connection, SmPointer) { SmsSaveYourselfPhase2(connection); }

void SaveYourselfDone(SmsConn connection, SmPointer, Bool)
{
    if (++savesDone == 1) {
        Say("ready");
    } else if (dieAfterSave) {
        SmsDie(connection);
        Say("died");
    } else {
        Say("saved");
    }
}

void CloseConnection(SmsConn connection, SmPointer, int count, char** reasons)
{
    SmFreeReasons(count, reasons);
    SmsCleanUp(connection);
    client = nullptr;
}

void SetProperties(SmsConn, SmPointer, int count, SmProp** properties)
{
    for (int i = 0; i < count; ++i) SmFreeProperty(properties[i]);
    std::free(properties);
}

void DeleteProperties(SmsConn, SmPointer, int count, char** names)
{
    for (int i = 0; i < count; ++i) std::free(names[i]);
    std::free(names);
}

void GetProperties(SmsConn connection, SmPointer) { SmsReturnProperties(connection, 0, nullptr); }

Status NewClient(SmsConn connection, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**)
{
    client = connection;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    callbacks->register_client.callback = RegisterClient;
    callbacks->interact_request.callback = InteractRequest;
    callbacks->interact_done.callback = InteractDone;
    callbacks->save_yourself_request.callback = SaveYourselfRequest;
    callbacks->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    callbacks->save_yourself_done.callback = SaveYourselfDone;
    callbacks->close_connection.callback = CloseConnection;
    callbacks->set_properties.callback = SetProperties;
    callbacks->delete_properties.callback = DeleteProperties;
    callbacks->get_properties.callback = GetProperties;
    return 1;
}

// Only local test clients ever connect.
Bool AnyHost(char*) { return True; }

void RunCommand(const std::string& command)
{
    if (!client) return;
    if (command == "checkpoint") {
        SmsSaveYourself(client, SmSaveBoth, False, SmInteractStyleAny, False);
    } else if (command == "logout") {
        dieAfterSave = true;
        SmsSaveYourself(client, SmSaveBoth, True, SmInteractStyleAny, False);
    }
}

}  // namespace

int main()
{
    char error[256] = {};
    if (!SmsInitialize("qmd-test", "1.0", NewClient, nullptr, AnyHost, sizeof error, error)) {
        std::fprintf(stderr, "SmsInitialize: %s\n", error);
        return 1;
    }
    int listenCount = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&listenCount, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "IceListenForConnections: %s\n", error);
        return 1;
    }
    for (int i = 0; i < listenCount; ++i) IceSetHostBasedAuthProc(listeners[i], AnyHost);
    char* networkIds = IceComposeNetworkIdList(listenCount, listeners);
    Say(networkIds);
    std::free(networkIds);

    std::string input;
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({STDIN_FILENO, POLLIN, 0});
        for (int i = 0; i < listenCount; ++i) fds.push_back({IceGetListenConnectionNumber(listeners[i]), POLLIN, 0});
        IceConn polled = clientConnection;
        if (polled) fds.push_back({IceConnectionNumber(polled), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) continue;

        if (fds[0].revents) {
            char buffer[256];
            const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
            if (count <= 0) break;
            input.append(buffer, static_cast<std::size_t>(count));
            for (std::size_t end; (end = input.find('\n')) != std::string::npos; input.erase(0, end + 1))
                RunCommand(input.substr(0, end));
        }
        for (int i = 0; i < listenCount; ++i) {
            if (!fds[1 + i].revents) continue;
            IceAcceptStatus status;
            IceConn connection = IceAcceptConnection(listeners[i], &status);
            if (!connection) continue;
            while (IceConnectionStatus(connection) == IceConnectPending)
                if (IceProcessMessages(connection, nullptr, nullptr) == IceProcessMessagesIOError) break;
            if (IceConnectionStatus(connection) == IceConnectAccepted)
                clientConnection = connection;
            else
                IceCloseConnection(connection);
        }
        if (polled && fds.back().revents && IceProcessMessages(polled, nullptr, nullptr) == IceProcessMessagesIOError) {
            IceSetShutdownNegotiation(polled, False);
            IceCloseConnection(polled);
            if (clientConnection == polled) clientConnection = nullptr;
        }
    }
    IceFreeListenObjs(listenCount, listeners);
    return 0;
}
