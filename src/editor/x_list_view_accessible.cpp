#include "editor/x_list_view_accessible.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <vector>

#include "editor/x_list_view.h"
#include "image/cximage.h"

namespace {

class FrameRowAccessible : public QAccessibleInterface {
public:
    FrameRowAccessible(XListView* strip, int32_t frame) : strip_(strip), frame_(frame) {}

    bool isValid() const override { return strip_ && frame_ <= strip_->Count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return strip_ ? strip_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return strip_ ? QAccessible::queryAccessibleInterface(strip_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override {
        if (!isValid() || t != QAccessible::Name)
            return {};
        const CxImage* frame = strip_->Frame(frame_);
        const bool deleted = frame && frame->UserFlags() == 0;
        return deleted ? QStringLiteral("Frame %1, deleted").arg(frame_)
                       : QStringLiteral("Frame %1").arg(frame_);
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect row = strip_->RowRect(frame_);
        return QRect(strip_->viewport()->mapToGlobal(row.topLeft()), row.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = true;
        if (!isValid())
            return s;
        s.selected = strip_->IsSelected(frame_);
        s.invisible = !strip_->viewport()->rect().intersects(strip_->RowRect(frame_));
        s.offscreen = s.invisible;
        return s;
    }

private:
    QPointer<XListView> strip_;
    int32_t frame_;
};

class XListViewAccessible : public QAccessibleWidget {
public:
    explicit XListViewAccessible(XListView* strip)
        : QAccessibleWidget(strip, QAccessible::List), strip_(strip) {}
    ~XListViewAccessible() override {
        for (const QAccessible::Id id : rows_)
            if (id != 0)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return strip_ ? strip_->Count() : 0; }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (rows_.size() <= std::size_t(index))
            rows_.resize(std::size_t(index) + 1, 0);
        QAccessible::Id& id = rows_[std::size_t(index)];
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(
                new FrameRowAccessible(strip_.data(), int32_t(index) + 1));
        return QAccessible::accessibleInterface(id);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i] != 0 && QAccessible::accessibleInterface(rows_[i]) == child)
                return int(i);
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        if (!strip_)
            return nullptr;
        const QPoint local = strip_->viewport()->mapFromGlobal(QPoint(x, y));
        for (int32_t n = 1; n <= strip_->Count(); ++n)
            if (strip_->RowRect(n).contains(local) && strip_->viewport()->rect().contains(local))
                return child(n - 1);
        return nullptr;
    }

private:
    QPointer<XListView> strip_;
    mutable std::vector<QAccessible::Id> rows_;
};

QAccessibleInterface* StripFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("XListView"))
        if (auto* strip = qobject_cast<XListView*>(object))
            return new XListViewAccessible(strip);
    return nullptr;
}

} // namespace

void InstallXListViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(StripFactory);
        return true;
    }();
    (void)installed;
}
