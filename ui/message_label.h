// A label of a fixed number of lines: its text wraps between words (and
// inside a word only when one word is wider than the label), and a text
// longer than the lines ends the last one with "…" and is whole in the
// tooltip. Its height never follows the text, so no message moves anything
// around it.
#pragma once

#include <QLabel>
#include <QString>

class QTextLayout;

namespace tavro::ui {

class MessageLabel : public QLabel {
    Q_OBJECT
public:
    explicit MessageLabel(int lines, QWidget* parent = nullptr);

    // Shows `text` (QLabel::text() holds it whole); `details`, when given,
    // is the tooltip, after the whole text when it does not fit.
    void setMessage(const QString& text, const QString& details = {});

    // Whether the text takes more lines than the label has.
    bool truncated() const;

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
    void showTip();

    int lines_;
    QString details_;
};

}  // namespace tavro::ui
