#pragma once
// Receives the worker's messages on the test's thread and keeps them in
// arrival order.

#include <QObject>
#include <QTest>

#include <cstdint>
#include <vector>

#include "engine/engine_messages.h"

struct RecordedMessage {
    int message = 0;
    uint64_t wParam = 0;
    int64_t lParam = 0;
};

class MessageRecorder : public QObject {
public:
    std::vector<RecordedMessage> messages;

    int Count(int message) const {
        int n = 0;
        for (const auto& m : messages)
            n += m.message == message;
        return n;
    }
    // Position of the first `message` at or after `from`, or -1.
    int IndexOf(int message, std::size_t from = 0) const {
        for (std::size_t i = from; i < messages.size(); ++i) {
            if (messages[i].message == message)
                return int(i);
        }
        return -1;
    }
    const RecordedMessage* Last(int message) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (it->message == message)
                return &*it;
        }
        return nullptr;
    }
    // Pumps the test thread's events until `count` messages of the kind have come.
    bool WaitFor(int message, int count = 1, int timeoutMs = 20000) {
        return QTest::qWaitFor([&] { return Count(message) >= count; }, timeoutMs);
    }

protected:
    bool event(QEvent* e) override {
        if (const EngineMessage* m = AsEngineMessage(e)) {
            messages.push_back({m->Message(), m->WParam(), m->LParam()});
            return true;
        }
        return QObject::event(e);
    }
};
