#pragma once
// A layout that places its widgets in a row and starts a new row when the
// next one would not fit, so a toolbar of many buttons stays reachable on a
// narrow screen. Hidden widgets take no room.
#include <QLayout>
#include <QList>

namespace view {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent, int spacing = 3);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;

private:
    // Places (or only measures) the items within rect; returns the height used.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items_;
};

}  // namespace view
