#pragma once
// A row of controls that wraps onto further rows when the width runs out, so that no control
// is ever squeezed below the size it needs to be read.
#include <QLayout>
#include <QList>

namespace kelpa::editor {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget *parent = nullptr);
    ~FlowLayout() override;

    // A fixed gap of `width` pixels at this place of the row.
    void addSpacing(int width);

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    int arrange(const QRect &rect, bool move) const;
    QList<QLayoutItem *> items_;
};

} // namespace kelpa::editor
