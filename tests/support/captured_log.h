#pragma once
// Collects what the code under test logs through Qt's logging (any category,
// any thread) while it lives, instead of letting it reach standard error.
#include <QMessageLogContext>
#include <QString>
#include <QtGlobal>

#include <mutex>
#include <string>

namespace qmd::test {

class CapturedLog {
public:
    CapturedLog()
    {
        std::lock_guard lock(Mutex());
        Text().clear();
        previous_ = qInstallMessageHandler(&CapturedLog::Collect);
    }
    ~CapturedLog() { qInstallMessageHandler(previous_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    // One line per message: "category: message".
    std::string str() const
    {
        std::lock_guard lock(Mutex());
        return Text();
    }

private:
    static void Collect(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        std::lock_guard lock(Mutex());
        Text() += std::string(context.category ? context.category : "default") + ": " + message.toStdString() + "\n";
    }
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::string& Text()
    {
        static std::string text;
        return text;
    }

    QtMessageHandler previous_ = nullptr;
};

}  // namespace qmd::test
