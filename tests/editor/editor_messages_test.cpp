// The goto-frame message keeps its number and its frame through the queue.
#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <vector>

#include "editor/editor_messages.h"

namespace {

class GotoRecorder : public QObject {
public:
    std::vector<int32_t> frames;

protected:
    bool event(QEvent* e) override {
        if (const EditorGotoFrameEvent* m = AsGotoFrame(e)) {
            frames.push_back(m->Frame());
            return true;
        }
        return QObject::event(e);
    }
};

TEST(EditorMessages, GotoFrameArrivesWithItsFrameInPostingOrder) {
    GotoRecorder recorder;
    EXPECT_EQ(int(EditorGotoFrameEvent(1).type()), 1222);
    for (int32_t n : {7, 1, 20})
        QCoreApplication::postEvent(&recorder, new EditorGotoFrameEvent(n));
    QEvent other(QEvent::User);
    EXPECT_EQ(AsGotoFrame(&other), nullptr);
    QCoreApplication::sendPostedEvents(&recorder);
    EXPECT_EQ(recorder.frames, (std::vector<int32_t>{7, 1, 20}));
}

} // namespace
