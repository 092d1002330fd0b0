// A one-line label that shows as much of its text as fits: a text too long for
// the label loses its middle (or its end) to an ellipsis. The tooltip shows the
// whole text, or more.
#pragma once

#include <QLabel>
#include <QString>

namespace tavro::ui {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    // `toolTip` defaults to the whole text.
    void setFullText(const QString& text, const QString& toolTip = {});
    QString fullText() const { return fullText_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    Qt::TextElideMode mode_;
    QString fullText_;
};

}  // namespace tavro::ui
