#include "files/frame_append.h"

QString QuotedPath(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

bool AppendLoadedFrame(FrameList& frames, std::unique_ptr<CxImage> frame, const QString& source,
                       QString& error) {
    if (!frame || !frame->IsValid()) {
        error = QStringLiteral("cannot read %1: %2")
                    .arg(QuotedPath(source), frame ? QString::fromLatin1(frame->LastError())
                                                   : QStringLiteral("out of memory"));
        return false;
    }
    if (!frames.empty()) {
        const CxImage& first = *frames.front();
        if (frame->Width() != first.Width() || frame->Height() != first.Height()) {
            error = QStringLiteral("%1 is %2*%3, but the first frame is %4*%5")
                        .arg(QuotedPath(source))
                        .arg(frame->Width())
                        .arg(frame->Height())
                        .arg(first.Width())
                        .arg(first.Height());
            return false;
        }
    }
    frame->SetUserFlags(1);
    frames.push_back(std::move(frame));
    return true;
}
