#pragma once

#include <QLabel>
#include <QStringList>

// The text of a silo on the panel, on as many lines as its width needs.
// Lines break between the parts of the text (the silo's name, "(Capacidad
// Total …)", "Espacio disponible: …", each " · " reading), and inside a part
// only between words: a figure with its name and unit stays whole on its
// line. A single word wider than the label ends in "…". The label's text is
// the caption as it is; only its painting is broken into lines.
class SiloLabel : public QLabel
{
public:
    explicit SiloLabel(QWidget* parent = nullptr);

    // The lines `text` takes in `width` pixels.
    static QStringList lines(const QString& text, const QFontMetrics& fm, int width);
    // How tall the text is in that width.
    int heightFor(int width) const;
    // Whether a word had to be cut (then the tooltip holds the whole text).
    bool cut() const;

protected:
    void paintEvent(QPaintEvent* e) override;
};
