// A label whose whole text is always in sight: it wraps between words (and
// inside a word only when one word is wider than the label) and grows to as
// many lines as the text takes. It keeps room for a few lines even when the
// text takes fewer, so that the usual messages move nothing around them.
#pragma once

#include <QLabel>
#include <QString>

class QTextLayout;

namespace tavro::ui {

class MessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit MessageLabel(int reservedLines, QWidget* parent = nullptr);

    // Shows `text` (QLabel::text() holds it whole) and takes the height it needs.
    void setMessage(const QString& text);

    // The height the whole text takes in `width` pixels of text, one line at least.
    int textHeight(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Lays the text out in `width`, each line a line spacing below the last; returns the height.
    int layOut(QTextLayout& layout, int width) const;
    int textWidth() const;
    void fitHeight();

    int reservedLines_;
};

}  // namespace tavro::ui
